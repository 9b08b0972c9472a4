// The receipts report: every property of the chosen code range, in code order,
// with the receipts of its units issued in the chosen date range, one line each,
// and the property's totals; a heading on every page.
#include "report/receipts_report.h"

#include <cstring>

#include "data/record_layouts.h"
#include "data/record_reads.h"
#include "driver/language_files.h"
#include "driver/session_settings.h"
#include "format/dates.h"
#include "format/edit_masks.h"
#include "format/text_utils.h"
#include "report/print_file.h"

ReportParameters reportParameters;
ReportState reportState;

namespace {

constexpr int16_t pageLines = 66;
constexpr int16_t titleWidth = 96;
constexpr int16_t bodyWidth = 135;
// A detail line goes on a new page once the page holds the heading and 54 lines.
constexpr int16_t lastDetailLine = 60;
// The totals' TOTAL line moves to a new page when their rule ended past this line.
constexpr int16_t lastTotalsLine = 59;
constexpr const char* amountTemplate = "ZZ,ZZZ,ZZ9";

// Key values and packed dates compare as unsigned bytes.
bool isGreater(const std::string& a, const std::string& b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    const int c = std::memcmp(a.data(), b.data(), n);
    return c > 0 || (c == 0 && a.size() > b.size());
}

std::string trimRight(std::string text) {
    const std::size_t end = text.find_last_not_of(' ');
    text.resize(end == std::string::npos ? 0 : end + 1);
    return text;
}

// The amount columns are right-justified by the print program.
void rightJustify() {
    static std::string mode;
    mode.assign(1, 'D');
    setPrintMode(mode);
}

// Monthly receipts share their issue dates and a unit's receipts their rent, so
// the texts of dates and amounts repeat from line to line. They are kept, with the
// settings they were made under; a change of separators, date order, language or
// currency starts afresh.
struct DateSettings {
    bool settingsRead = false;
    char separator = 0;
    std::string order, language;
    bool operator==(const DateSettings&) const = default;
};
struct AmountSettings {
    char decimalChar = 0, thousandsChar = 0;
    std::string currency;
    bool operator==(const AmountSettings&) const = default;
};
// Direct-mapped: a slot holds the last text made for a key that falls into it.
// Dates take their slot from the low digits of year, month and day, so the dates
// of sixteen years never share one.
constexpr std::size_t memoSlots = 8192;
struct MemoSlot {
    uint32_t key = 0;
    bool used = false;
    std::string text;
};
struct FormatMemo {
    DateSettings dateSettings;
    MemoSlot dates[memoSlots];
    AmountSettings amountSettings;
    MemoSlot amounts[memoSlots];
    // The unit's part of the receipt references, for the unit key it was made from.
    bool haveReferenceUnit = false;
    std::string referenceUnitKey, referenceUnitPart;
    std::string reference;
};
FormatMemo formatMemo;

std::size_t memoSlotOf(uint32_t key) { return (key * 2654435761u) >> 19 & (memoSlots - 1); }

std::size_t dateSlotOf(const std::string& packed) {
    const auto year = static_cast<unsigned char>(packed[1]), month = static_cast<unsigned char>(packed[2]),
               day = static_cast<unsigned char>(packed[3]);
    return ((year % 16u) * 16u + month % 16u) * 32u + day % 32u;
}

bool dateSettingsAreCurrent() {
    const DateSettings& d = formatMemo.dateSettings;
    return d.settingsRead == dateDisplayState.settingsRead && d.separator == dateDisplayState.dateSeparator &&
           d.order == dateDisplayState.dateOrder && d.language == sessionSettings.languageCode;
}

void startDateMemo() {
    for (MemoSlot& slot : formatMemo.dates) slot.used = false;
    formatMemo.dateSettings = {dateDisplayState.settingsRead, dateDisplayState.dateSeparator,
                               dateDisplayState.dateOrder, sessionSettings.languageCode};
}

bool amountSettingsAreCurrent() {
    const AmountSettings& a = formatMemo.amountSettings;
    return a.decimalChar == numberFormatState.decimalChar && a.thousandsChar == numberFormatState.thousandsChar &&
           a.currency == numberFormatState.displayCurrency;
}

void startAmountMemo() {
    for (MemoSlot& slot : formatMemo.amounts) slot.used = false;
    formatMemo.amountSettings = {numberFormatState.decimalChar, numberFormatState.thousandsChar,
                                 numberFormatState.displayCurrency};
}

const std::string& detailDate(const std::string& packed) {
    static std::string unusual;
    if (packed.size() != 4) return unusual = formatDate(packed, 0, "dma");
    if (!dateSettingsAreCurrent()) startDateMemo();
    uint32_t key;
    std::memcpy(&key, packed.data(), 4);
    MemoSlot& slot = formatMemo.dates[dateSlotOf(packed)];
    if (slot.used && slot.key == key) return slot.text;
    std::string text = formatDate(packed, 0, "dma");
    // The first call may have read the settings: keep the text under them.
    if (!dateSettingsAreCurrent()) startDateMemo();
    slot = {key, true, std::move(text)};
    return slot.text;
}

const std::string& detailAmount(int32_t amount) {
    if (!amountSettingsAreCurrent()) startAmountMemo();
    const auto key = static_cast<uint32_t>(amount);
    MemoSlot& slot = formatMemo.amounts[memoSlotOf(key)];
    if (slot.used && slot.key == key) return slot.text;
    std::string text = formatAmount(amountTemplate, amount);
    if (!amountSettingsAreCurrent()) startAmountMemo();
    slot = {key, true, std::move(text)};
    return slot.text;
}

// Property 0012, unit 0305, receipt 7 give 012305V07: the last three digits of the
// property, the last three of the unit, "V", the receipt number.
// A unit's receipts come one after another, so its part is made once.
const std::string& receiptReference() {
    const std::string unitKey = receiptUnitKey();
    FormatMemo& m = formatMemo;
    if (!m.haveReferenceUnit || unitKey != m.referenceUnitKey) {
        const std::string unit = unpackDigits(unitKey);
        m.referenceUnitPart = unit.substr(1, 3) + unit.substr(5, 3) + "V";
        m.referenceUnitKey = unitKey;
        m.haveReferenceUnit = true;
    }
    m.reference.assign(m.referenceUnitPart);
    m.reference += unpackDigits(receiptNumber());
    return m.reference;
}

}  // namespace

void printReceiptsReport() {
    int16_t& status = reportState.readStatus;
    readAtKey(propertiesFile, 0, reportParameters.firstPropertyKey, 1, status);
    while (status == 0) {
        const std::string property = propertyCode();
        if (isGreater(property, reportParameters.lastPropertyKey)) break;
        reportState.pageNumber = 0;
        reportState.collectedTotal = 0;
        reportState.pendingTotal = 0;

        // A property whose owner is missing shows a blank name, not the previous one.
        clearOwnerName();
        readAtKey(ownersFile, 0, propertyOwnerCode(), 0, status);

        readAtKey(unitsFile, 0, property, 1, status);
        while (status == 0) {
            const std::string unit = unitKey();
            if (unit.compare(0, 2, property) != 0) break;
            const std::string lastKey = unit + reportParameters.lastDateKey;
            readAtKey(receiptsFile, 0, unit + reportParameters.firstDateKey, 1, status);
            while (status == 0) {
                if (isGreater(receiptUnitKey() + receiptIssueDate(), lastKey)) break;
                if (receiptKind() == 'P') printReceiptLine();
                readNext(receiptsFile, 1, status);
            }
            readNext(unitsFile, 1, status);
        }

        if (reportState.pageNumber > 0) printPropertyTotals();
        readNext(propertiesFile, 1, status);
    }
}

void printPageHeader() {
    ++reportState.pageNumber;
    startPrintPage(pageLines);
    printControl("@e");
    printAt(1, sessionSettings.firmName, 0);
    rightJustify();
    printAt(85, translateText("P\xB7GINA ") + formatByMask("ZZZ9", reportState.pageNumber), 2);  // "PÀGINA "

    const std::string title = translateText("RELACI\xE0 DE REBUTS DE VERTICAL EMESOS ENTRE ") +  // "RELACIÓ ..."
                              formatDate(reportParameters.firstDateKey, 0, "dma") + translateText(" I ") +
                              formatDate(reportParameters.lastDateKey, 0, "dma");
    printAt(centerOffset(title, titleWidth), title, 1);

    const std::string code = unpackDigits(propertyCode());
    const std::string name = propertyOwnershipMark() == 'P' ? ownerName() : propertyName();
    const std::string propertyLine = translateText("CORRESPONENTS A LA FINCA ") +
                                     code.substr(code.size() < 3 ? 0 : code.size() - 3) + " - " + trimRight(name);
    printAt(centerOffset(propertyLine, titleWidth), propertyLine, 2);

    printControl("q");
    printAt(1, translateText("REBUT"), 0);
    printAt(18, translateText("DEPART."), 0);
    printAt(36, translateText("TITULAR"), 0);
    printAt(74, translateText("D.EXPED."), 0);
    printAt(90, translateText("D.COBR."), 0);
    rightJustify();
    printAt(107, translateText("    COBRAT"), 0);
    printAt(126, translateText("   PENDENT"), 1);
    printAt(1, std::string(bodyWidth, '-'), 1);
}

void printReceiptLine() {
    if (reportState.pageNumber == 0) printPageHeader();
    if (printFileState.linesOnPage > lastDetailLine) printPageHeader();
    printAt(1, receiptReference(), 0);
    printAt(18, unitDesignation(), 0);
    printAt(36, unitHolderName(), 0);
    printAt(74, detailDate(receiptIssueDate()), 0);
    printAt(90, detailDate(receiptCollectionDate()), 0);
    rightJustify();

    // The column and the total test different letters: "D" is shown and counted
    // as pending, "C" and "I" as collected, and any other letter but "P" is shown
    // as collected while it is counted as pending.
    const char state = receiptCollectionState();
    const int32_t amount = receiptAmount();
    printAt(state == 'P' || state == 'D' ? 126 : 107, detailAmount(amount), 1);
    if (state == 'C' || state == 'I')
        reportState.collectedTotal += amount;
    else
        reportState.pendingTotal += amount;
}

void printPropertyTotals() {
    printAt(107, std::string(29, '-'), 1);
    // The rule stays under the last receipt; the totals go under a full heading.
    if (printFileState.linesOnPage > lastTotalsLine) printPageHeader();
    printAt(74, translateText("TOTAL"), 0);
    rightJustify();
    printAt(107, formatAmount(amountTemplate, reportState.collectedTotal), 0);
    printAt(126, formatAmount(amountTemplate, reportState.pendingTotal), 1);
    printAt(74, std::string(62, '='), 1);
}
