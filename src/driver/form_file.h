// The module's form definition: panels, their fields and the lookup lists that
// fields open, read once at start-up from rootDir + "FORMS\" + moduleName + ".JPN".
//
// All three tables count from 1 like the form file does: index 0 of formPanels and
// lookupLists, and index 0 of each panel's field row, are never used.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct FormPanel {
    std::string exitKeys;  // hexadecimal key codes, comma-separated
    int16_t fieldCount = 0;
    int16_t nextPanel = 0;
    int16_t frameTop = 0;  // 0: the panel has no window of its own
    int16_t frameLeft = 0;
    int16_t frameBottom = 0;
    int16_t frameRight = 0;
};

struct FormField {
    int16_t row = 0;
    int16_t labelColumn = 0;
    std::string label;  // translated
    int16_t width = 0;
    int16_t lineWidth = 0;
    int16_t clearWidth = 0;
    int16_t flags = 0;
    int16_t fieldType = 0;  // 1 date, 2 number, other: text
    int16_t lookupList = 0;
    std::string choices;  // "|code,text|code,text", translated
    std::string value;    // always exactly `width` characters
};

struct LookupList {
    int16_t dataFile = 0;
    int16_t keyNumber = 0;
    int16_t boxTop = 0;
    int16_t boxLeft = 0;
    int16_t boxBottom = 0;
    int16_t boxRight = 0;
    int16_t searchPanel = 0;
    std::string heading;  // translated
    int16_t nestedList = 0;
};

struct FormTables {
    std::vector<FormPanel> formPanels;               // 1 .. panelCount
    std::vector<std::vector<FormField>> formFields;  // [panel 1 .. panelCount][field 1 .. maxFields]
    std::vector<LookupList> lookupLists;             // 1 .. lookupCount
    int16_t panelCount = 0;
    int16_t maxFields = 0;
    int16_t lookupCount = 0;
    // Empty when the form loaded; otherwise why it could not be used, for a
    // message box: "FITXER DE FORMULARI " + the file as found on disk + ": " + the
    // problem in Catalan capitals + "." (code page 850). The tables above are then
    // empty, and panelCount is 0.
    std::string loadError;
};
extern FormTables formTables;

// Reads the form of the module, translating labels, choices and headings, every
// value blank to its width. Returns formTables.loadError ("" when loaded).
std::string loadForm(std::string_view moduleName);
