#include "report/report_run.h"

#include <cstring>

#include "data/data_files.h"
#include "data/record_layouts.h"
#include "driver/session_settings.h"
#include "format/dates.h"
#include "format/edit_masks.h"
#include "platform/os/os.h"
#include "report/print_file.h"
#include "report/receipts_report.h"

namespace {

struct ReportDataFile {
    int16_t number;
    const char* name;  // under rootDir
    uint8_t* buffer;
    std::size_t capacity;
};

const ReportDataFile reportDataFiles[] = {
    {ownersFile, "DADES\\PropietV", recordBuffers.owner, sizeof recordBuffers.owner},
    {propertiesFile, "DADES\\FinquesV", recordBuffers.property, sizeof recordBuffers.property},
    {unitsFile, "DADES\\DepartaV", recordBuffers.unit, sizeof recordBuffers.unit},
    {receiptsFile, "DADES\\CobramV", recordBuffers.receipt, sizeof recordBuffers.receipt},
};

bool isGreater(const std::string& a, const std::string& b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    const int c = std::memcmp(a.data(), b.data(), n);
    return c > 0 || (c == 0 && a.size() > b.size());
}

}  // namespace

void openReportDataFiles(int16_t& status) {
    for (const ReportDataFile& f : reportDataFiles)
        openDataFile(f.number, sessionSettings.rootDir + f.name, f.buffer, f.capacity, status);
}

std::string missingReportDataFiles() {
    std::string missing;
    for (const ReportDataFile& f : reportDataFiles) {
        const std::string name = sessionSettings.rootDir + f.name;
        if (os::fileExists(dataFilePath(name))) continue;
        if (os::fileExists(dataDictionaryName(name))) continue;
        if (!missing.empty()) missing += ", ";
        missing += name;
    }
    return missing;
}

bool packReportParameters(std::string_view firstDate, std::string_view lastDate, std::string_view firstCode,
                          std::string_view lastCode) {
    reportParameters.firstDateKey = parseDateText(firstDate);
    reportParameters.lastDateKey = parseDateText(lastDate);
    reportParameters.firstPropertyKey = packCodeText("0" + std::string(firstCode));
    reportParameters.lastPropertyKey = packCodeText("0" + std::string(lastCode));
    return !isGreater(reportParameters.firstDateKey, reportParameters.lastDateKey) &&
           !isGreater(reportParameters.firstPropertyKey, reportParameters.lastPropertyKey);
}

bool runReceiptsReportToPrintFile() {
    openPrintFile(sessionSettings.outputDevice);
    setCurrency("p");
    printReceiptsReport();
    setCurrency("");
    closePrintFile();
    return !printFileState.writeFailed;
}
