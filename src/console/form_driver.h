// The form driver: shows a panel of the module's form (formTables), lets the
// operator fill it in field by field and returns the key that left it. Also the
// module's hooks that the driver and the browse list call with a panel or list
// number: the panel check and the three lookup hooks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct FormDriverState {
    // The panel at which a chain of linked panels is entered again (0: none).
    int16_t resumePanel = 0;
};
extern FormDriverState formDriver;

// Runs panel `panel` (negative: as a linked panel, only runForm itself does this;
// the argument is made positive). leaveAtTop / leaveAtBottom: PgUp on the first
// editable field / PgDn on the last leaves the panel. `key` is the key that left
// the panel; a panel without editable fields hands back the key passed in.
void runForm(int16_t& panel, int16_t leaveAtTop, int16_t leaveAtBottom, int16_t& key);
// Title, labels and values of a panel.
void drawPanel(int16_t panel);
// The stored value of a field, at its place, in the current colour.
void showFieldValue(int16_t panel, int16_t field);
// 0 when the text was accepted (stored into the field and shown), else non-zero.
int16_t acceptFieldValue(int16_t panel, std::string_view text, int16_t field);

// The module's check of a panel about to be left with `key`: 0 when it may be
// left, non-zero when the operator edits it again. Panel 1 (the report's ranges)
// sets reportParameters and asks for the confirmation on panel 2.
int16_t checkPanel(int16_t panel, int16_t key);

// Lookup hooks of the browse list.
// The list line for the record in the list's data buffer ("" for unknown lists).
std::string lookupLine(int16_t list);
// Takes the picked record into the field, as if its code had been typed.
void lookupPick(int16_t list, int16_t panel, int16_t field);
// Where a list starts and where it stops: both empty (the whole file); status 0.
int16_t lookupStartKey(int16_t list, std::string& startKey, std::string& limit);
