// Signals around the terminal back end. A resize (SIGWINCH) only raises a flag
// and wakes the input wait; the back end then adopts the new size and repaints
// everything. Signals that end the program (SIGTERM, SIGHUP, SIGINT, SIGSEGV, ...)
// first give the terminal back its modes, then take their usual course. Ctrl+Z
// (SIGTSTP) gives the terminal back before the program stops; SIGCONT takes it
// again and asks for a full repaint.
//
// The handlers only write prepared byte strings and set termios modes, which is
// all that may be done inside a signal handler.
#pragma once

#include <csignal>
#include <string_view>
#include <termios.h>

namespace term {

struct TerminalSignals {
    int ttyFd = -1;
    // The pipe that wakes the input wait when a handler has raised a flag.
    int wakeRead = -1;
    int wakeWrite = -1;
    termios shellModes{};
    termios programModes{};
    // What leaving and re-entering the program's screen sends to the terminal.
    char leave[1024] = {};
    size_t leaveLength = 0;
    char enter[512] = {};
    size_t enterLength = 0;
    volatile sig_atomic_t resized = 0;
    volatile sig_atomic_t repaint = 0;
    bool installed = false;
};
extern TerminalSignals terminalSignals;

// Notes the signal dispositions the program had before the terminal library
// installed its own; they are the ones given back (and followed by fatal signals).
void saveSignalDispositions();
// Installs the handlers for the terminal on ttyFd (the modes must be filled in).
bool installTerminalSignals();
void removeTerminalSignals();
// Replaces the leave and enter strings (with the signals held off meanwhile).
void setTerminalTransitions(std::string_view leave, std::string_view enter);
// Sends the leave string and restores the shell's modes, as the handlers do.
void leaveTerminal();
// Takes the terminal again after leaveTerminal: program modes, the enter string,
// and a full repaint at the next present.
void reenterTerminal();
// Writes all the bytes to fd, going on after interruptions (safe in a handler).
void writeAll(int fd, const char* bytes, size_t length);
// Empties the wake pipe.
void drainWakePipe();

}  // namespace term
