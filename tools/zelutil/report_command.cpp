// zelutil report: the receipts report without the form, in the module's session
// environment, for batch runs and for checking an installation.
#include <cstdio>
#include <cstring>
#include <string>

#include "data/data_files.h"
#include "driver/program_driver.h"
#include "driver/session_settings.h"
#include "format/dates.h"
#include "format/edit_masks.h"
#include "format/text_utils.h"
#include "platform/os/os.h"
#include "platform/term/console.h"
#include "report/print_file.h"
#include "report/receipts_report.h"
#include "report/report_run.h"
#include "tools/zelutil/commands.h"

namespace {

const char* const reportUsage =
    "usage: zelutil report [--from DATE] [--to DATE] [--first CODE] [--last CODE] [--print]\n"
    "\n"
    "Writes the receipts report into the print file zelprint.tmp of the session's\n"
    "temporary folder, as the module does after its form, from the session set up by\n"
    "ZELROOT, ZELEXE and ZELTMP.\n"
    "\n"
    "  --from DATE   first issue date, typed as in the form (15/1/2024, 150124, ...)\n"
    "  --to DATE     last issue date\n"
    "  --first CODE  first property code (digits)\n"
    "  --last CODE   last property code\n"
    "  --print       then start the print program ZELEXE + ZELPRINT and wait for it\n"
    "\n"
    "Missing values take the form's initial values: the session date, 1 and 999.\n"
    "Exit codes: 0 done, 1 a data file or the print file failed, 2 bad arguments.\n";

int badUsage(const char* message, const std::string& value = {}) {
    std::fprintf(stderr, "zelutil report: %s%s\n", message, value.c_str());
    std::fputs("(zelutil report --help for the usage)\n", stderr);
    return 2;
}

// The form's panel check refuses an entry it cannot read before it packs it.
bool isDateTextGood(const std::string& text) { return checkDateText(text) == 0; }
bool isCodeTextGood(const std::string& text) { return !isBadNumberText(text, ""); }

struct ConsoleAndFiles {
    bool filesOpen = false;
    ~ConsoleAndFiles() {
        if (filesOpen) {
            int16_t status = 0;
            closeAllDataFiles(status);
        }
        term::close();
    }
};

}  // namespace

int zelutilReport(int argc, char** argv) {
    std::string firstDate, lastDate, firstCode = "1", lastCode = "999";
    bool haveFirstDate = false, haveLastDate = false, print = false;
    for (int i = 0; i < argc; ++i) {
        const char* a = argv[i];
        if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
            std::fputs(reportUsage, stdout);
            return 0;
        }
        if (!std::strcmp(a, "--print")) {
            print = true;
            continue;
        }
        std::string* target = nullptr;
        if (!std::strcmp(a, "--from")) {
            target = &firstDate;
            haveFirstDate = true;
        } else if (!std::strcmp(a, "--to")) {
            target = &lastDate;
            haveLastDate = true;
        } else if (!std::strcmp(a, "--first")) {
            target = &firstCode;
        } else if (!std::strcmp(a, "--last")) {
            target = &lastCode;
        } else {
            return badUsage("unknown argument ", a);
        }
        if (i + 1 >= argc) return badUsage("a value is missing after ", a);
        *target = argv[++i];
    }

    loadSessionSettings();
    if (!sessionSettings.rootDir.empty() && !os::changeDirectory(sessionSettings.rootDir)) {
        std::fprintf(stderr, "zelutil report: cannot change to the root folder %s (ZELROOT)\n",
                     os::mapPath(sessionSettings.rootDir).c_str());
        return 1;
    }
    programDriver.moduleName = "RPTREBUT";

    // The form fills blank date fields with the session date.
    const std::string sessionDateText = packedDateText(sessionSettings.sessionDate);
    if (!haveFirstDate || isAllChar(firstDate, ' ')) firstDate = sessionDateText;
    if (!haveLastDate || isAllChar(lastDate, ' ')) lastDate = sessionDateText;
    if (!isDateTextGood(firstDate)) return badUsage("not a valid date: --from ", firstDate);
    if (!isDateTextGood(lastDate)) return badUsage("not a valid date: --to ", lastDate);
    if (!isCodeTextGood(firstCode)) return badUsage("not a property code: --first ", firstCode);
    if (!isCodeTextGood(lastCode)) return badUsage("not a property code: --last ", lastCode);
    if (!packReportParameters(firstDate, lastDate, firstCode, lastCode)) {
        if (reportParameters.firstDateKey > reportParameters.lastDateKey)
            return badUsage("the first date is after the last: ", firstDate + " > " + lastDate);
        return badUsage("the first property code is greater than the last: ", firstCode + " > " + lastCode);
    }

    // The data layer ends the program after a message box when a file cannot be
    // opened; a batch run says so on stderr and fails instead, so look first.
    const std::string problems = checkReportDataFiles();
    if (!problems.empty()) {
        std::fprintf(stderr, "zelutil report: a data file cannot be opened:\n%s", problems.c_str());
        return 1;
    }

    // Lock waits and the data layer's messages need a console; a batch run has an
    // invisible one.
    term::openMemory(80, 25);
    ConsoleAndFiles scope;
    int16_t status = 0;
    openReportDataFiles(status);
    scope.filesOpen = true;

    const std::string printFile = os::mapPath(printFilePath());
    if (!runReceiptsReportToPrintFile()) {
        std::fprintf(stderr, "zelutil report: the print file %s could not be written completely\n", printFile.c_str());
        return 1;
    }
    if (!print) {
        std::printf("print file: %s\n", printFile.c_str());
        return 0;
    }
    const std::string program = sessionSettings.exeDir + "ZELPRINT";
    const os::ProcessResult result = os::runAndWait(program, {});
    if (!result.started) {
        std::fprintf(stderr, "zelutil report: cannot start %s: %s\n", os::mapPath(program).c_str(), result.error.c_str());
        return 1;
    }
    if (result.exitCode != 0) {
        std::fprintf(stderr, "zelutil report: %s ended with exit code %d\n", os::mapPath(program).c_str(), result.exitCode);
        return 1;
    }
    return 0;
}
