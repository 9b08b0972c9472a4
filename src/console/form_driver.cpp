// The form driver and the module's form hooks.
//
// Positions of labels and values count inside the panel's window (locateInWindow),
// or on the screen for a panel without a window. A field's value starts right
// after its translated label, so a longer translation moves the value along.
#include "console/form_driver.h"

#include <cmath>
#include <cstdlib>

#include "console/browse_list.h"
#include "console/field_editor.h"
#include "console/message_box.h"
#include "console/windows.h"
#include "data/record_layouts.h"
#include "driver/form_file.h"
#include "driver/session_settings.h"
#include "format/dates.h"
#include "format/edit_masks.h"
#include "format/text_utils.h"
#include "platform/term/console.h"
#include "report/report_run.h"

FormDriverState formDriver;

namespace {

constexpr int16_t flagStartsBlank = 1;
constexpr int16_t flagHidden = 2;
constexpr int16_t flagShownOnly = 4;
constexpr int16_t flagCursorAtEnd = 8;

constexpr int16_t fieldTypeDate = 1;
constexpr int16_t fieldTypeNumber = 2;

// The code that the form's exit-key lists use for "leave the panel" besides End.
constexpr int16_t leaveCode = 2;

bool validPanel(int16_t panel) {
    return panel >= 1 && panel <= formTables.panelCount && panel < static_cast<int16_t>(formTables.formPanels.size());
}

bool validField(int16_t panel, int16_t field) {
    return validPanel(panel) && field >= 1 && field <= formTables.formPanels[panel].fieldCount &&
           field < static_cast<int16_t>(formTables.formFields[panel].size());
}

FormField& fieldOf(int16_t panel, int16_t field) { return formTables.formFields[panel][field]; }

int16_t valueColumn(const FormField& f) {
    return static_cast<int16_t>(f.labelColumn + static_cast<int16_t>(f.label.size()));
}

std::string fitted(std::string_view text, std::size_t width) {
    std::string s(text.substr(0, width));
    s.resize(width, ' ');
    return s;
}

bool allBlank(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

bool editable(const FormField& f) { return (f.flags & flagShownOnly) == 0; }

// The keys with which a linked panel hands control back to the panel that ran it
// for good; any other key keeps the caller on its field.
bool endsCallerToo(int16_t key) {
    switch (key) {
        case keycode::pgUp:
        case keycode::pgDn:
        case keycode::end:
        case leaveCode:
        case keycode::enter:
        case keycode::down:
        case keycode::up:
            return true;
        default:
            return false;
    }
}

// The first editable field whose area holds a click at (row, column) of the
// panel's window; 0 when none does.
int16_t fieldAtClick(int16_t panel, int16_t first, int16_t last, int row, int column) {
    for (int16_t n = first; n <= last; ++n) {
        const FormField& f = fieldOf(panel, n);
        if (!editable(f)) continue;
        int lines = 1, lineLength = f.width;
        if (f.lineWidth != 0) {
            lines = f.width / f.lineWidth;
            lineLength = f.lineWidth;
        }
        const int right = f.labelColumn + static_cast<int>(f.label.size()) + lineLength + f.clearWidth - 1;
        if (row >= f.row && row <= f.row + lines - 1 && column >= f.labelColumn && column <= right) return n;
    }
    return 0;
}

// The last three digits of the property code in the property record buffer.
std::string propertyCodeText() {
    const std::string digits = unpackDigits(propertyCode());
    return digits.size() > 3 ? digits.substr(digits.size() - 3) : digits;
}

}  // namespace

void drawPanel(int16_t panel) {
    if (!validPanel(panel)) return;
    const std::string& title = sessionSettings.menuTitle;
    setColor("rh");
    // Centred on column 41; a half column goes to the even side.
    const int half = static_cast<int>(std::nearbyint(static_cast<double>(title.size()) / 2.0));
    writeInWindow(1, static_cast<int16_t>(41 - half), title);
    setColor("n");
    const int16_t count = formTables.formPanels[panel].fieldCount;
    for (int16_t n = 1; n <= count; ++n) {
        if (!validField(panel, n)) break;
        const FormField& f = fieldOf(panel, n);
        writeInWindow(f.row, f.labelColumn, f.label);
    }
    setColor("h");
    for (int16_t n = 1; n <= count && validField(panel, n); ++n) showFieldValue(panel, n);
}

void showFieldValue(int16_t panel, int16_t field) {
    if (!validField(panel, field)) return;
    const FormField& f = fieldOf(panel, field);
    if (f.flags & flagHidden) return;
    const int16_t column = valueColumn(f);
    if (f.fieldType == fieldTypeDate) {
        writeInWindow(f.row, column, formatDate(parseDateText(f.value), 0, "dma"));
        return;
    }
    if (!f.choices.empty()) {
        // Entries "|code,text"; the code must equal the whole stored value.
        std::string_view list = f.choices;
        std::size_t pos = 0;
        while ((pos = list.find('|', pos)) != std::string_view::npos) {
            const std::size_t next = list.find('|', pos + 1);
            std::string_view entry = list.substr(pos + 1, next == std::string_view::npos ? next : next - pos - 1);
            pos = pos + 1;
            const std::size_t comma = entry.find(',');
            if (comma == std::string_view::npos) continue;
            if (entry.substr(0, comma) == f.value) {
                writeInWindow(f.row, column,
                              fitted(entry.substr(comma + 1), static_cast<std::size_t>(f.width + f.clearWidth)));
                return;
            }
        }
        return;
    }
    if (f.lineWidth > 0) {
        const int cursorRow = term::cursorRow(), cursorColumn = term::cursorColumn();
        for (std::size_t k = 0, line = 0; k < f.value.size(); k += static_cast<std::size_t>(f.lineWidth), ++line)
            writeInWindow(static_cast<int16_t>(f.row + line), column, std::string_view(f.value).substr(k, f.lineWidth));
        term::setCursorPosition(cursorRow, cursorColumn);
        return;
    }
    writeInWindow(f.row, column, f.value);
}

int16_t acceptFieldValue(int16_t panel, std::string_view text, int16_t field) {
    if (!validField(panel, field)) return 1;
    FormField& f = fieldOf(panel, field);
    std::string entry(text);
    if (f.fieldType == fieldTypeDate) {
        if (allBlank(entry)) entry = packedDateText(sessionSettings.sessionDate);
        if (checkDateText(entry) != 0) return 1;
    } else if (f.fieldType == fieldTypeNumber) {
        if (isBadNumberText(entry, "")) return 1;
    }
    f.value = fitted(entry, static_cast<std::size_t>(f.width < 0 ? 0 : f.width));
    showFieldValue(panel, field);
    return 0;
}

void runForm(int16_t& panel, int16_t leaveAtTop, int16_t leaveAtBottom, int16_t& key) {
    const bool linked = panel < 0;
    if (linked) panel = static_cast<int16_t>(-panel);
    if (!validPanel(panel)) return;
    const FormPanel& p = formTables.formPanels[panel];
    const bool hasWindow = p.frameTop != 0;
    if (hasWindow) {
        setColor("+n");
        pushWindow(p.frameTop, p.frameLeft, p.frameBottom, p.frameRight);
        drawFrame(2);
        setColor("-");
    }
    drawPanel(panel);

    int16_t first = 0, last = 0;
    for (int16_t n = 1; n <= p.fieldCount && validField(panel, n); ++n) {
        if (!editable(fieldOf(panel, n))) continue;
        if (first == 0) first = n;
        last = n;
    }

    bool skipFields = first == 0;
    if (!skipFields) {
        // Coming back into a chain of linked panels: go straight on to the panel
        // that was left with PgUp or PgDn, if it lies further along this chain.
        int16_t& resume = formDriver.resumePanel;
        int16_t reached = panel;
        for (int steps = 0; resume > 0 && reached != resume && validPanel(reached) &&
                            formTables.formPanels[reached].nextPanel != 0 && steps <= formTables.panelCount;
             ++steps)
            reached = formTables.formPanels[reached].nextPanel;
        if (reached != resume) resume = 0;
        if (resume > 0 && resume != panel && p.nextPanel != 0) {
            int16_t next = static_cast<int16_t>(-p.nextPanel);
            runForm(next, leaveAtTop, leaveAtBottom, key);
            if (endsCallerToo(key)) skipFields = true;
        } else {
            resume = 0;
        }
    }

    for (;;) {
        int16_t current = first;
        bool leaving = skipFields;
        skipFields = false;
        while (!leaving && current >= first && current <= last) {
            FormField& f = fieldOf(panel, current);
            if (editable(f)) {
                setExitKeys("+ea", p.exitKeys + ",3b00");
                int16_t row = f.row, column = valueColumn(f), lineWidth = f.lineWidth;
                const int16_t clearWidth = f.clearWidth, flags = f.flags, list = f.lookupList;
                std::string work = (flags & (flagStartsBlank | flagHidden))
                                       ? std::string(static_cast<std::size_t>(f.width), ' ')
                                       : f.value;
                if (flags & flagHidden) setExitKeys("h", "");
                if (clearWidth != 0) writeInWindow(row, static_cast<int16_t>(column + f.width), std::string(clearWidth, ' '));
                for (;;) {
                    setChoiceList(f.choices);
                    int16_t cursor = 1;
                    if (flags & flagCursorAtEnd) {
                        const std::size_t lastChar = work.find_last_not_of(' ');
                        cursor = static_cast<int16_t>(lastChar == std::string::npos ? 1 : lastChar + 2);
                    }
                    row = f.row;
                    column = valueColumn(f);
                    lineWidth = f.lineWidth;
                    editField(row, column, lineWidth, work, cursor, key);
                    int16_t rejected = 0;
                    if (key == keycode::f1) {
                        std::string topic = sessionSettings.helpTopic;
                        while (!topic.empty() && topic.back() == ' ') topic.pop_back();
                        if (!topic.empty()) showHelp(topic);
                        key = 0;
                    } else if (key == keycode::f4) {
                        key = 0;
                        if (list > 0) {
                            int16_t result = 0;
                            browseList(list, result);
                            if (result == 0) {
                                lookupPick(list, panel, current);
                                key = current == p.fieldCount && p.nextPanel == 0 ? keycode::enter : keycode::down;
                            }
                        }
                    } else {
                        // The typed text goes back over the value's place, except for a
                        // hidden field, whose typing must never appear on the screen.
                        if (clearWidth != 0 && !(flags & flagHidden))
                            writeInWindow(f.row, valueColumn(f), work + std::string(clearWidth, ' '));
                        if (key == keycode::esc) {
                            showFieldValue(panel, current);
                        } else {
                            if (allBlank(work) && (flags & (flagStartsBlank | flagHidden))) work = f.value;
                            rejected = acceptFieldValue(panel, work, current);
                        }
                    }
                    if (rejected == 0) break;
                    term::beep();
                }
                if (flags & flagHidden) setExitKeys("v", "");
                setExitKeys("-", "");
            }
            // A field that is only shown is passed over by the key that reached it.
            switch (key) {
                case keycode::pgUp:
                    if (current == first && leaveAtTop != 0) {
                        formDriver.resumePanel = panel;
                        leaving = true;
                    } else {
                        current = first;
                        formDriver.resumePanel = 0;
                    }
                    break;
                case keycode::pgDn:
                    if (current == last && leaveAtBottom != 0) {
                        formDriver.resumePanel = panel;
                        leaving = true;
                    } else {
                        current = last;
                        formDriver.resumePanel = 0;
                    }
                    break;
                case keycode::end:
                case leaveCode:
                    leaving = true;
                    break;
                case keycode::esc:
                    if (current == first) leaving = true;
                    else current = first;
                    break;
                case keycode::enter:
                case keycode::down:
                case keycode::f2:
                    if ((current == last || key == keycode::f2) && p.nextPanel != 0) {
                        int16_t next = static_cast<int16_t>(-p.nextPanel);
                        runForm(next, leaveAtTop, leaveAtBottom, key);
                        if (endsCallerToo(key)) leaving = true;
                    } else if (key == keycode::down) {
                        if (current != last) ++current;
                    } else if (key == keycode::enter) {
                        ++current;
                    }
                    break;
                case keycode::up:
                    if (current != first) {
                        --current;
                    } else if (linked) {
                        key = keycode::esc;
                        leaving = true;
                    }
                    break;
                case 0:
                    break;
                default:
                    if (key < 0) {
                        // A click: -(100 x column + row) on the console.
                        const int code = -static_cast<int>(key);
                        const int row = code % 100 - p.frameTop, column = code / 100 - p.frameLeft;
                        if (const int16_t hit = fieldAtClick(panel, first, last, row, column); hit != 0)
                            current = hit;
                    } else {
                        leaving = true;
                    }
                    break;
            }
        }
        if (checkPanel(panel, key) != 0 && first != 0) continue;
        break;
    }
    if (hasWindow) popWindow();
}

int16_t checkPanel(int16_t panel, int16_t key) {
    if (key == keycode::esc || panel != 1) return 0;
    if (!validField(1, 4)) return 0;
    const bool ordered = packReportParameters(fieldOf(1, 1).value, fieldOf(1, 2).value, fieldOf(1, 3).value,
                                              fieldOf(1, 4).value);
    if (!ordered) return 1;
    // The confirmation: only the answer "S" lets the report run.
    if (!validField(2, 1)) return 1;
    FormField& answer = fieldOf(2, 1);
    answer.value.assign(static_cast<std::size_t>(answer.width < 0 ? 0 : answer.width), ' ');
    int16_t confirmation = 2, confirmationKey = 0;
    runForm(confirmation, 0, 0, confirmationKey);
    std::string given = answer.value;
    while (!given.empty() && given.back() == ' ') given.pop_back();
    return given == "S" ? 0 : 1;
}

std::string lookupLine(int16_t list) {
    if (list != 1) return {};
    return propertyCodeText() + "  " + propertyName();
}

void lookupPick(int16_t list, int16_t panel, int16_t field) {
    if (list != 1 || !validField(panel, field)) return;
    acceptFieldValue(panel, propertyCodeText(), field);
}

int16_t lookupStartKey(int16_t, std::string& startKey, std::string& limit) {
    startKey.clear();
    limit.clear();
    return 0;
}
