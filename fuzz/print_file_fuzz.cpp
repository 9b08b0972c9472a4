// The print program's reader on any print file, then the text output of the pages.
#include "fuzz/fuzz_support.h"
#include "tools/ZELPRINT/print_file_reader.h"
#include "tools/ZELPRINT/text_output.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view contents(reinterpret_cast<const char*>(data), size);
    zelprint::PrintDocument doc = zelprint::readPrintFile(contents);
    FUZZ_CHECK(doc.pages.size() <= static_cast<size_t>(zelprint::maxPages));
    FUZZ_CHECK(doc.notices.size() <= zelprint::maxNotices);
    size_t bytes = 0;
    for (const zelprint::PrintPage& page : doc.pages) {
        FUZZ_CHECK(page.lines.size() <= static_cast<size_t>(zelprint::maxPageLength));
        for (const std::string& line : page.lines) bytes += line.size();
    }
    FUZZ_CHECK(bytes <= zelprint::maxPageTextBytes);
    zelprint::renderText(doc);

    // Each line on its own, as the reader sees it.
    size_t start = 0;
    for (int n = 0; n < 8 && start < contents.size(); ++n) {
        size_t end = contents.find('\n', start);
        if (end == std::string_view::npos) end = contents.size();
        zelprint::parsePrintLine(contents.substr(start, end - start));
        start = end + 1;
    }
    return 0;
}
