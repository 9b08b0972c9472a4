// The form driver and the module's form hooks.
#include "console/form_driver.h"

FormDriverState formDriver;

void runForm(int16_t& panel, int16_t, int16_t, int16_t&) {
    if (panel < 0) panel = static_cast<int16_t>(-panel);
}
void drawPanel(int16_t) {}
void showFieldValue(int16_t, int16_t) {}
int16_t acceptFieldValue(int16_t, std::string_view, int16_t) { return 0; }
int16_t checkPanel(int16_t, int16_t) { return 0; }
std::string lookupLine(int16_t) { return {}; }
void lookupPick(int16_t, int16_t, int16_t) {}
int16_t lookupStartKey(int16_t, std::string& startKey, std::string& limit) {
    startKey.clear();
    limit.clear();
    return 0;
}
