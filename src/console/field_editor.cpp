#include "console/field_editor.h"

ExitKeyTable exitKeyTable;
KeyboardState keyboardState;

void readKey(int16_t& key, int16_t& button, int16_t& row, int16_t& column) {
    key = keycode::esc;
    button = row = column = 0;
}
void waitKey(int16_t& key) { key = keycode::esc; }
void setExitKeys(std::string_view, std::string_view) {}
void setChoiceList(std::string_view list) { keyboardState.choiceList = list; }
void editField(int16_t&, int16_t&, int16_t&, std::string&, int16_t&, int16_t& key) { key = keycode::esc; }
