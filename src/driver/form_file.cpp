#include "driver/form_file.h"

#include "driver/form_items.h"
#include "driver/language_files.h"
#include "driver/session_settings.h"
#include "platform/os/os.h"

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
// in code page 850 ("\x90" É, "\xB7" À, "\x80" Ç, "\xD4" È).
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
        fail(load, "HI HA UN VALOR NUM\xD4RIC QUE NO CAP EN 16 BITS" + inRecord(load));
        return false;
    default:
        fail(load, "S'ACABA A MIG REGISTRE" + inRecord(load));
        return false;
    }
}

bool takeText(FormLoad& load, std::string& value) {
    if (!load.problem.empty()) return false;
    switch (readTextItem(load.reader, value)) {
    case ItemStatus::read:
        return true;
    case ItemStatus::tooLong:
        fail(load, "HI HA UN TEXT MASSA LLARG" + inRecord(load));
        return false;
    default:
        fail(load, "S'ACABA A MIG REGISTRE" + inRecord(load));
        return false;
    }
}

std::string panelName(int panel) { return "PANELL " + std::to_string(panel); }
std::string fieldName(int panel, int field) { return panelName(panel) + ", CAMP " + std::to_string(field); }
std::string listName(int list) { return "LLISTA " + std::to_string(list); }

bool readHeader(FormLoad& load, FormTables& t) {
    load.where = "CAP\x80" "ALERA";
    if (!takeNumber(load, t.panelCount) || !takeNumber(load, t.maxFields)) return false;
    if (t.panelCount < 1)
        fail(load, "NO DEFINEIX CAP PANELL (NOMBRE DE PANELLS " + std::to_string(t.panelCount) + ")");
    else if (t.panelCount > kMaxPanels)
        fail(load, "EL NOMBRE DE PANELLS (" + std::to_string(t.panelCount) + ") PASSA DEL M\xB7XIM DE " +
                       std::to_string(kMaxPanels));
    else if (t.maxFields < 0 || t.maxFields > kMaxFieldsPerPanel)
        fail(load, "EL NOMBRE M\xB7XIM DE CAMPS (" + std::to_string(t.maxFields) + ") HA DE SER DE 0 A " +
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
        fail(load, "UNA AMPLADA \x90S NEGATIVA" + inRecord(load));
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
        fail(load, "EL " + panelName(panel) + " T\x90 " + std::to_string(p.fieldCount) +
                       " CAMPS I EL M\xB7XIM \x90S " + std::to_string(t.maxFields));
        return false;
    }
    for (int field = 1; field <= p.fieldCount; ++field)
        if (!readField(load, t.formFields[panel][field], panel, field)) return false;
    return true;
}

bool readLookupHeader(FormLoad& load, FormTables& t) {
    load.where = "CAP\x80" "ALERA DE LES LLISTES";
    if (!takeNumber(load, t.lookupCount)) return false;
    if (t.lookupCount < 0 || t.lookupCount > kMaxLookupLists) {
        fail(load, "EL NOMBRE DE LLISTES (" + std::to_string(t.lookupCount) + ") HA DE SER DE 0 A " +
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
            fail(load, "EL " + panelName(panel) + " CONTINUA EN EL PANELL " + std::to_string(p.nextPanel) +
                           ", QUE NO EXISTEIX");
        for (int field = 1; field <= p.fieldCount && load.problem.empty(); ++field) {
            const int16_t list = t.formFields[panel][field].lookupList;
            if (list < 0 || list > t.lookupCount)
                fail(load, "EL " + fieldName(panel, field) + " OBRE LA LLISTA " + std::to_string(list) +
                               ", QUE NO EXISTEIX");
        }
    }
    for (int list = 1; list <= t.lookupCount && load.problem.empty(); ++list) {
        const LookupList& l = t.lookupLists[list];
        if (l.searchPanel < 0 || l.searchPanel > t.panelCount)
            fail(load, "LA " + listName(list) + " DEMANA EL PANELL DE CERCA " + std::to_string(l.searchPanel) +
                           ", QUE NO EXISTEIX");
        else if (l.nestedList < 0 || l.nestedList > t.lookupCount)
            fail(load, "LA " + listName(list) + " OBRE LA LLISTA " + std::to_string(l.nestedList) +
                           ", QUE NO EXISTEIX");
    }
}

enum class LoadState { header, panels, lookups, listEntries, done };

}  // namespace

std::string loadForm(std::string_view moduleName) {
    const std::string fileName = sessionSettings.rootDir + "FORMS\\" + std::string(moduleName) + ".JPN";
    FormTables t;
    FormLoad load;
    if (!openItems(load.reader, fileName)) {
        fail(load, "NO ES POT OBRIR");
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
                fail(load, "NO DEFINEIX CAP PANELL");
            else if (state == LoadState::panels)
                fail(load, "S'ACABA ABANS DEL " + panelName(panel + 1));
            else if (state == LoadState::listEntries)
                fail(load, "S'ACABA ABANS DE LA " + listName(list + 1));
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
        formTables.loadError = "FITXER DE FORMULARI " + os::mapPath(fileName) + ": " + load.problem + ".";
    }
    return formTables.loadError;
}
