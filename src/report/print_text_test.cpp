// Placed texts are copied eight bytes at a time while no control byte is in
// sight: every byte value at every place of a text must come out as the
// byte-by-byte rule says (below 32, 127 and 255 become blanks).
#include <gtest/gtest.h>

#include <string>

#include "driver/session_settings.h"
#include "report/print_file.h"
#include "tests/support/test_support.h"

namespace {

TEST(PrintText, EveryByteAtEveryPlaceOfTextsOfManyLengths) {
    testsupport::TempDir dir;
    if (printFileState.file) closePrintFile();
    printFileState = PrintFileState{};
    sessionSettings = SessionSettings{};
    sessionSettings.tempDir = dir.path();
    openPrintFile("LPT1");
    startPrintPage(30000);
    std::string expected = "DEVICELPT1\r\nPAGE 30000 \r\n";
    for (std::size_t length : {1u, 7u, 8u, 9u, 16u, 17u, 24u, 31u}) {
        for (std::size_t at = 0; at < length; ++at) {
            for (int value = 0; value < 256; ++value) {
                // Bytes around the one tried sit just inside the range that stays.
                std::string text(length, ' ');
                for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>(i % 2 ? 0xFE : 0x20 + i);
                text[at] = static_cast<char>(value);
                printAt(3, text, 0);
                std::string placed = text;
                for (char& c : placed) {
                    const auto code = static_cast<unsigned char>(c);
                    if (code < 32 || code == 127 || code == 255) c = ' ';
                }
                expected += " 3 ," + placed + ", 0 \r\n";
            }
        }
    }
    closePrintFile();
    EXPECT_FALSE(printFileState.writeFailed);
    // Compared whole, without a diff of a megabyte on failure: the first line
    // that differs is enough.
    const std::string written = testsupport::readFile(dir / "zelprint.tmp");
    if (written != expected) {
        std::size_t at = 0;
        while (at < written.size() && at < expected.size() && written[at] == expected[at]) ++at;
        const std::size_t line = expected.rfind('\n', at == 0 ? 0 : at - 1);
        const std::size_t from = line == std::string::npos ? 0 : line + 1;
        ADD_FAILURE() << "first difference in the line starting at byte " << from << ": written '"
                      << written.substr(from, 40) << "', expected '" << expected.substr(from, 40) << "'";
    }
    printFileState = PrintFileState{};
}

}  // namespace
