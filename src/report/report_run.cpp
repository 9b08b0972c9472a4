// One run of the receipts report, as the module and the batch command share it.
#include "report/report_run.h"

#include <cstring>

#include "data/data_build.h"
#include "data/data_files.h"
#include "data/record_layouts.h"
#include "driver/session_settings.h"
#include "format/dates.h"
#include "format/edit_masks.h"
#include "platform/os/os.h"
#include "platform/recman/btrcall.h"
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

std::string checkReportDataFiles() {
    std::string problems;
    for (const ReportDataFile& f : reportDataFiles) {
        const std::string name = sessionSettings.rootDir + f.name;
        const std::string path = dataFilePath(name);
        std::string reason;
        if (!os::fileExists(path)) {
            std::string specification;
            if (!readDictionary(dataDictionaryName(name), specification) || specification.empty()) {
                reason = "missing, and its dictionary " + os::mapPath(dataDictionaryName(name)) +
                         " is missing or unreadable";
            } else if (int16_t created = createDataFile(path, specification); created != 0) {
                reason = "cannot be created from its dictionary (status " + std::to_string(created) + ")";
            }
        }
        if (reason.empty()) {
            uint8_t positionBlock[128] = {};
            uint8_t owner[5] = {};
            uint32_t length = 0;
            std::string key = path;
            key += '\0';
            const int16_t opened = btrcall(recman::opOpen, positionBlock, owner, &length, key.data(),
                                           static_cast<uint8_t>(path.size() < 255 ? path.size() : 255),
                                           recman::openNormal);
            if (opened == 0) {
                length = 0;
                btrcall(recman::opClose, positionBlock, owner, &length, key.data(), 0, 0);
            } else if (opened != recman::statusFileLocked) {
                reason = "cannot be opened (status " + std::to_string(opened) + ")";
            }
        }
        if (!reason.empty()) problems += name + ": " + reason + "\n";
    }
    return problems;
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
