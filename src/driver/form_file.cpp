#include "driver/form_file.h"

#include "driver/form_items.h"
#include "driver/language_files.h"
#include "driver/session_settings.h"

FormTables formTables;

namespace {

// Limits of a usable form. The field table holds maxFields fields for every
// panel, so the two counts together bound its size; no screen of the suite comes
// near them.
constexpr int16_t kMaxPanels = 255;
constexpr int16_t kMaxFieldsPerPanel = 255;
constexpr int16_t kMaxLookupLists = 255;

// Working state of one load. `where` names the record being read, for messages.
struct FormLoad {
    ItemReader reader;
    std::string where;
    std::string problem;  // empty while all is well
};

// The messages are shown to the operator in a message box; they are Catalan text
// in code page 850 ("\x82" é, "\x85" à, "\x87" ç, "\xA1" í, "\x81" ü).
void fail(FormLoad& load, const std::string& problem) {
    if (load.problem.empty()) load.problem = problem;
}

std::string inRecord(const FormLoad& load) { return " (" + load.where + ")"; }

bool takeNumber(FormLoad& load, int16_t& value) {
    if (!load.problem.empty()) return false;
    switch (readNumberItem(load.reader, value)) {
    case ItemStatus::read:
        return true;
    case ItemStatus::outOfRange:
        fail(load, "hi ha un valor num\x8A" "ric que no cap en 16 bits" + inRecord(load));
        return false;
    default:
        fail(load, "s'acaba a mig registre" + inRecord(load));
        return false;
    }
}

bool takeText(FormLoad& load, std::string& value) {
    if (!load.problem.empty()) return false;
    switch (readTextItem(load.reader, value)) {
    case ItemStatus::read:
        return true;
    case ItemStatus::tooLong:
        fail(load, "hi ha un text massa llarg" + inRecord(load));
        return false;
    default:
        fail(load, "s'acaba a mig registre" + inRecord(load));
        return false;
    }
}

std::string panelName(int panel) { return "panell " + std::to_string(panel); }
std::string fieldName(int panel, int field) { return panelName(panel) + ", camp " + std::to_string(field); }
std::string listName(int list) { return "llista " + std::to_string(list); }

bool readHeader(FormLoad& load, FormTables& t) {
    load.where = "cap\x87" "alera";
    if (!takeNumber(load, t.panelCount) || !takeNumber(load, t.maxFields)) return false;
    if (t.panelCount < 1)
        fail(load, "no defineix cap panell (nombre de panells " + std::to_string(t.panelCount) + ")");
    else if (t.panelCount > kMaxPanels)
        fail(load, "el nombre de panells (" + std::to_string(t.panelCount) + ") passa del m\x85xim de " +
                       std::to_string(kMaxPanels));
    else if (t.maxFields < 0 || t.maxFields > kMaxFieldsPerPanel)
        fail(load, "el nombre m\x85xim de camps (" + std::to_string(t.maxFields) + ") ha de ser de 0 a " +
                       std::to_string(kMaxFieldsPerPanel));
    if (!load.problem.empty()) return false;
    t.formPanels.assign(t.panelCount + 1, FormPanel{});
    t.formFields.assign(t.panelCount + 1, std::vector<FormField>(t.maxFields + 1));
    return true;
}

bool readField(FormLoad& load, FormField& f, int panel, int field) {
    load.where = fieldName(panel, field);
    if (!takeNumber(load, f.row) || !takeNumber(load, f.labelColumn) || !takeText(load, f.label) ||
        !takeNumber(load, f.width) || !takeNumber(load, f.lineWidth) || !takeNumber(load, f.clearWidth) ||
        !takeNumber(load, f.flags) || !takeNumber(load, f.fieldType) || !takeNumber(load, f.lookupList) ||
        !takeText(load, f.choices))
        return false;
    if (f.width < 0 || f.lineWidth < 0 || f.clearWidth < 0) {
        fail(load, "una amplada \x82s negativa" + inRecord(load));
        return false;
    }
    f.value.assign(f.width, ' ');
    f.label = translateText(f.label);
    f.choices = translateText(f.choices);
    return true;
}

bool readPanel(FormLoad& load, FormTables& t, int panel) {
    FormPanel& p = t.formPanels[panel];
    load.where = panelName(panel);
    if (!takeText(load, p.exitKeys) || !takeNumber(load, p.fieldCount) || !takeNumber(load, p.nextPanel) ||
        !takeNumber(load, p.frameTop) || !takeNumber(load, p.frameLeft) || !takeNumber(load, p.frameBottom) ||
        !takeNumber(load, p.frameRight))
        return false;
    if (p.fieldCount < 0 || p.fieldCount > t.maxFields) {
        fail(load, "el " + panelName(panel) + " t\x82 " + std::to_string(p.fieldCount) +
                       " camps i el m\x85xim \x82s " + std::to_string(t.maxFields));
        return false;
    }
    for (int field = 1; field <= p.fieldCount; ++field)
        if (!readField(load, t.formFields[panel][field], panel, field)) return false;
    return true;
}

bool readLookupHeader(FormLoad& load, FormTables& t) {
    load.where = "cap\x87" "alera de les llistes";
    if (!takeNumber(load, t.lookupCount)) return false;
    if (t.lookupCount < 0 || t.lookupCount > kMaxLookupLists) {
        fail(load, "el nombre de llistes (" + std::to_string(t.lookupCount) + ") ha de ser de 0 a " +
                       std::to_string(kMaxLookupLists));
        return false;
    }
    t.lookupLists.assign(t.lookupCount + 1, LookupList{});
    return true;
}

bool readLookupList(FormLoad& load, LookupList& l, int list) {
    load.where = listName(list);
    if (!takeNumber(load, l.dataFile) || !takeNumber(load, l.keyNumber) || !takeNumber(load, l.boxTop) ||
        !takeNumber(load, l.boxLeft) || !takeNumber(load, l.boxBottom) || !takeNumber(load, l.boxRight) ||
        !takeNumber(load, l.searchPanel) || !takeText(load, l.heading) || !takeNumber(load, l.nestedList))
        return false;
    l.heading = translateText(l.heading);
    return true;
}

// Every panel and list a record names must exist: the form driver and the browse
// list index the tables with these numbers.
void checkReferences(FormLoad& load, const FormTables& t) {
    for (int panel = 1; panel <= t.panelCount && load.problem.empty(); ++panel) {
        const FormPanel& p = t.formPanels[panel];
        if (p.nextPanel < 0 || p.nextPanel > t.panelCount)
            fail(load, "el " + panelName(panel) + " continua en el panell " + std::to_string(p.nextPanel) +
                           ", que no existeix");
        for (int field = 1; field <= p.fieldCount && load.problem.empty(); ++field) {
            const int16_t list = t.formFields[panel][field].lookupList;
            if (list < 0 || list > t.lookupCount)
                fail(load, "el " + fieldName(panel, field) + " obre la llista " + std::to_string(list) +
                               ", que no existeix");
        }
    }
    for (int list = 1; list <= t.lookupCount && load.problem.empty(); ++list) {
        const LookupList& l = t.lookupLists[list];
        if (l.searchPanel < 0 || l.searchPanel > t.panelCount)
            fail(load, "la " + listName(list) + " demana el panell de cerca " + std::to_string(l.searchPanel) +
                           ", que no existeix");
        else if (l.nestedList < 0 || l.nestedList > t.lookupCount)
            fail(load, "la " + listName(list) + " obre la llista " + std::to_string(l.nestedList) +
                           ", que no existeix");
    }
}

enum class LoadState { header, panels, lookups, listEntries, done };

}  // namespace

std::string loadForm(std::string_view moduleName) {
    const std::string fileName = sessionSettings.rootDir + "FORMS\\" + std::string(moduleName) + ".JPN";
    FormTables t;
    FormLoad load;
    if (!openItems(load.reader, fileName)) {
        fail(load, "no es pot obrir");
    } else {
        LoadState state = LoadState::header;
        int panel = 0;
        int list = 0;
        while (state != LoadState::done && load.problem.empty()) {
            // Comments are recognised only here, at the start of a record.
            skipCommentLines(load.reader);
            if (atEndOfItems(load.reader)) break;
            switch (state) {
            case LoadState::header:
                if (readHeader(load, t)) state = LoadState::panels;
                break;
            case LoadState::panels:
                ++panel;
                if (readPanel(load, t, panel) && panel == t.panelCount) state = LoadState::lookups;
                break;
            case LoadState::lookups:
                // With no lists, nothing after the count is read.
                if (readLookupHeader(load, t)) state = t.lookupCount == 0 ? LoadState::done : LoadState::listEntries;
                break;
            case LoadState::listEntries:
                ++list;
                if (readLookupList(load, t.lookupLists[list], list) && list == t.lookupCount) state = LoadState::done;
                break;
            case LoadState::done:
                break;
            }
        }
        closeItems(load.reader);
        if (load.problem.empty()) {
            // A file that ends after the panels simply has no lookup lists.
            if (state == LoadState::header)
                fail(load, "no defineix cap panell");
            else if (state == LoadState::panels)
                fail(load, "s'acaba abans del " + panelName(panel + 1));
            else if (state == LoadState::listEntries)
                fail(load, "s'acaba abans de la " + listName(list + 1));
            else if (state == LoadState::lookups)
                t.lookupLists.assign(1, LookupList{});
        }
        if (load.problem.empty()) checkReferences(load, t);
    }

    if (load.problem.empty()) {
        formTables = std::move(t);
        formTables.loadError.clear();
    } else {
        formTables = FormTables{};
        formTables.loadError = "FITXER DE FORMULARI " + fileName + ": " + load.problem + ".";
    }
    return formTables.loadError;
}
