// Program driver: start-up, the main loop (form, report, print program) and shutdown.
//
// The module reads no command-line argument and always ends with exit code 0: the
// suite's menu that starts it does not look at the code.
#include "driver/program_driver.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "console/field_editor.h"
#include "console/form_driver.h"
#include "console/message_box.h"
#include "console/windows.h"
#include "data/data_files.h"
#include "driver/form_file.h"
#include "driver/language_files.h"
#include "driver/session_settings.h"
#include "format/text_utils.h"
#include "platform/os/os.h"
#include "platform/term/console.h"
#include "report/print_file.h"
#include "report/report_run.h"

ProgramDriverState programDriver;

namespace {

// What the end-of-session handler needs, prepared beforehand: a handler may not
// build texts or allocate.
struct ShutdownGuard {
    char printFileName[4096] = {};
    volatile sig_atomic_t printFileOpen = 0;
    // The window stack file as the module found it: absent, or its end pointer.
    // Ending with the form's window open must not leave our records on a stack
    // that the next program of the session goes on using.
    char windowStackName[4096] = {};
    bool windowStackExisted = false;
    unsigned char windowStackEnd[4] = {};
};
ShutdownGuard shutdownGuard;

// The terminal was closed (SIGHUP) or the session is being ended (SIGTERM). The
// terminal back end has already given the terminal its modes back when it was
// open. A print file still being written is removed, so that no half report is
// left for the print program; the data files are only read by this module and
// the record manager's locks go with the process, so ending here leaves them
// sound.
void onSessionEnd(int) {
    const ShutdownGuard& g = shutdownGuard;
    if (g.printFileOpen) ::unlink(g.printFileName);
    if (g.windowStackName[0] != '\0') {
        if (!g.windowStackExisted) {
            ::unlink(g.windowStackName);
        } else if (const int fd = ::open(g.windowStackName, O_WRONLY); fd >= 0) {
            [[maybe_unused]] const ssize_t n = ::pwrite(fd, g.windowStackEnd, sizeof g.windowStackEnd, 0);
            ::close(fd);
        }
    }
    ::_exit(0);
}

// While the print program has the terminal, Ctrl+C there reaches this process
// too; it must not end the module. A handler rather than SIG_IGN so that the
// print program starts with the default disposition.
void onInterruptWhileWaiting(int) {}

void installSessionEndHandlers() {
    struct sigaction act {};
    act.sa_handler = onSessionEnd;
    sigemptyset(&act.sa_mask);
    sigaddset(&act.sa_mask, SIGHUP);
    sigaddset(&act.sa_mask, SIGTERM);
    for (int sig : {SIGHUP, SIGTERM}) {
        struct sigaction old {};
        sigaction(sig, nullptr, &old);
        // Started with nohup: the terminal closing is none of our business.
        if (sig == SIGHUP && old.sa_handler == SIG_IGN) continue;
        sigaction(sig, &act, nullptr);
    }
}

// Copies a name for the handler, with the handler held off meanwhile so that it
// never sees half a name.
void copyName(const std::string& name, char (&to)[4096]) {
    sigset_t ending, previous;
    sigemptyset(&ending);
    sigaddset(&ending, SIGHUP);
    sigaddset(&ending, SIGTERM);
    sigprocmask(SIG_BLOCK, &ending, &previous);
    const std::size_t n = std::min(name.size(), sizeof to - 1);
    std::memcpy(to, name.data(), n);
    to[n] = '\0';
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

void noteWindowStack() {
    const std::string name = os::mapPath(windowStackFileName());
    std::string contents;
    shutdownGuard.windowStackExisted = os::readWholeFile(name, contents);
    if (shutdownGuard.windowStackExisted && contents.size() >= 4)
        std::memcpy(shutdownGuard.windowStackEnd, contents.data(), 4);
    else if (shutdownGuard.windowStackExisted)
        shutdownGuard.windowStackEnd[0] = 5;  // too short to hold a pointer: an empty stack
    copyName(name, shutdownGuard.windowStackName);
}

void notePrintFile(bool open) {
    if (open) copyName(os::mapPath(printFilePath()), shutdownGuard.printFileName);
    shutdownGuard.printFileOpen = open ? 1 : 0;
}

// A box about row 12 until the operator presses a key.
void tellOperator(std::string text) {
    showMessageBox(12, text);
    term::beep();
    // Keys typed ahead must not answer a message the operator has not seen.
    term::flushInput();
    int16_t key = 0;
    waitKey(key);
    popWindow();
}

std::string formFileName() {
    return sessionSettings.rootDir + "FORMS\\" + programDriver.moduleName + ".JPN";
}

// The form must hold what this module's driver and panel check address: panel 1
// with the four range fields and panel 2 with the answer. "" when it does.
std::string formMismatch() {
    const FormTables& t = formTables;
    const auto fieldsOf = [&](int panel) -> int {
        return panel <= t.panelCount && panel < static_cast<int>(t.formPanels.size()) ? t.formPanels[panel].fieldCount
                                                                                      : -1;
    };
    if (fieldsOf(1) < 4 || fieldsOf(2) < 1)
        // "... NO TÉ ELS PANELLS DE LA RELACIÓ (PANELL 1 AMB 4 CAMPS, PANELL 2 AMB LA RESPOSTA)."
        return "FITXER DE FORMULARI " + os::mapPath(formFileName()) +
               ": NO T\x90 ELS PANELLS DE LA RELACI\xE0 (PANELL 1 AMB 4 CAMPS, PANELL 2 AMB LA RESPOSTA).";
    return {};
}

// The session's temporary folder must exist and take new files: the print file,
// the window stack and the browse list's work files go there. "" when it does,
// else the folder's name for the operator. Probed by creating a file, because a
// folder can refuse writes (read-only mount, full disk) that its modes allow.
std::string unusableTempFolder() {
    const std::string& dir = sessionSettings.tempDir;
    std::string folder = dir.empty() ? os::currentDirectory() : os::mapPath(dir);
    if (folder.empty()) folder = ".";
    std::string probe = folder;
    if (probe.back() != '/') probe += '/';
    probe += "zelprobeXXXXXX";
    bool usable = false;
    if (os::isDirectory(folder)) {
        if (const int fd = ::mkstemp(probe.data()); fd >= 0) {
            usable = true;
            ::close(fd);
            ::unlink(probe.c_str());
        }
    }
    return usable ? std::string{} : folder;
}

// Writes the initial value left-justified into the field's blank value.
void setInitialValue(int16_t field, std::string_view text) {
    std::string& value = formTables.formFields[1][field].value;
    const std::size_t width = value.size();
    value.assign(width, ' ');
    value.replace(0, std::min(width, text.size()), text.substr(0, width));
}

void shutDown() {
    closePrintFile();
    closeAllDataFiles(programDriver.dataStatus);
    term::close();
}

// Hands the terminal to the print program and takes it back afterwards. False
// (with the reason) when the program could not be started.
bool runPrintProgram(std::string& error) {
    const std::string program = sessionSettings.exeDir + "ZELPRINT";
    term::suspendScreen();
    struct sigaction quiet {}, oldInt {}, oldQuit {};
    quiet.sa_handler = onInterruptWhileWaiting;
    sigemptyset(&quiet.sa_mask);
    sigaction(SIGINT, &quiet, &oldInt);
    sigaction(SIGQUIT, &quiet, &oldQuit);
    const os::ProcessResult result = os::runAndWait(program, {});
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGQUIT, &oldQuit, nullptr);
    term::resumeScreen();
    if (!result.started) error = result.error;
    return result.started;
}

void mainLoop() {
    setColor("n");
    term::clearScreen();
    for (;;) {
        int16_t panel = 1;
        runForm(panel, 0, 0, programDriver.formKey);
        if (programDriver.formKey == keycode::esc) break;

        notePrintFile(true);
        const bool written = runReceiptsReportToPrintFile();
        if (!written) {
            // A half report must not reach the printer or the screen as if it were whole.
            os::removeFile(printFilePath());
            notePrintFile(false);
            // "NO S'HA POGUT ESCRIURE SENCER EL FITXER D'IMPRESSIÓ ... . NO S'IMPRIMEIX RES."
            tellOperator(translateText("NO S'HA POGUT ESCRIURE SENCER EL FITXER D'IMPRESSI\xE0 ") +
                         os::mapPath(printFilePath()) + translateText(". NO S'IMPRIMEIX RES."));
            continue;
        }
        notePrintFile(false);

        std::string error;
        if (!runPrintProgram(error))
            // "NO ES POT EXECUTAR EL PROGRAMA D'IMPRESSIÓ ..."
            tellOperator(translateText("NO ES POT EXECUTAR EL PROGRAMA D'IMPRESSI\xE0 ") +
                         os::mapPath(sessionSettings.exeDir + "ZELPRINT") + " (" + error + ")");
    }
}

}  // namespace

int runProgram() {
    installSessionEndHandlers();
    if (!term::openTerminal()) {
        std::fputs("RPTREBUT: cal un terminal (no n'hi ha cap a l'entrada ni a la sortida)\n", stderr);
        return 0;
    }
    term::setCursorVisible(false);

    loadSessionSettings();
    if (!sessionSettings.rootDir.empty()) os::changeDirectory(sessionSettings.rootDir);
    noteWindowStack();
    programDriver.moduleName = "RPTREBUT";

    std::string problem = loadForm(programDriver.moduleName);
    if (problem.empty()) problem = formMismatch();
    if (!problem.empty()) {
        setColor("n");
        term::clearScreen();
        tellOperator(problem);
        shutDown();
        return 0;
    }

    // Without a usable temporary folder the form still works, but no report can be
    // written: say so now rather than only after the operator has filled the form.
    if (const std::string folder = unusableTempFolder(); !folder.empty()) {
        setColor("n");
        term::clearScreen();
        // "LA CARPETA TEMPORAL ... NO EXISTEIX O NO ES POT ESCRIURE"
        tellOperator(translateText("LA CARPETA TEMPORAL ") + folder +
                     translateText(" NO EXISTEIX O NO ES POT ESCRIURE"));
    }

    const std::string today = packedDateText(sessionSettings.sessionDate);
    setInitialValue(1, today);
    setInitialValue(2, today);
    setInitialValue(3, "1");
    setInitialValue(4, "999");

    // A file that can be neither opened nor created ends the module in the data layer.
    openReportDataFiles(programDriver.dataStatus);

    mainLoop();

    shutDown();
    return 0;
}
