// The text help viewer behind showHelp (message_box.h), in steps: the viewer is
// opened on a topic, acts on one key at a time and is closed. showHelp runs the
// steps with keys polled straight from the console; the steps are separate so a
// caller can drive the viewer key by key and look at the screen in between.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct HelpView {
    std::string topic;
    std::string contents;     // the help file: records of lineLength bytes, one a screen line
    int16_t lineLength = 0;   // record length: 80, the width help files are written for
    int16_t pageRows = 0;     // text rows inside the window
    int16_t lineCount = 0;    // records in the file, rounded to the nearest whole record
    int16_t next = 0;         // record below the last one shown
    bool open = false;
};

// Reads "AJUDA\" + topic + ".HLP" from the current folder (a missing file is an
// empty help), pushes the help window (rows 4 to screenHeight - 3, full width),
// and shows the first page. False, with nothing shown, on a console too small
// for a page.
bool openHelpView(HelpView& view, std::string_view topic);
// Acts on one key code (Down, Up, PgDn, PgUp, Home, End, F1 for the menu's help);
// other keys are ignored. False for Esc: the caller then closes the view.
bool helpViewKey(HelpView& view, int16_t key);
// Pops the help window and gives the caller's colour back.
void closeHelpView(HelpView& view);
// Shows a record (from 1) on a text row (from 1) of the help window; a record past
// the end of the file leaves the row blank.
void showHelpLine(const HelpView& view, int16_t record, int16_t windowRow);
