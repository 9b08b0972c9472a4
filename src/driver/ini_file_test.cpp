#include "driver/ini_file.h"

#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testsupport::TempDir;
using testsupport::writeFile;

namespace {

struct Lookup {
    const char* what;
    std::string contents;
    std::string section;
    std::string key;
    std::string expected;
};

TEST(IniFile, Lookups) {
    const std::vector<Lookup> cases = {
        {"plain value", "[Menu]\r\nTitol=REBUTS\r\n", "Menu", "Titol", "REBUTS"},
        {"blank each side of =", "[Menu]\r\nTitol = REBUTS\r\n", "Menu", "Titol", " REBUTS"},
        {"blanks before comment kept", "[Menu]\r\nTitol=REBUTS   ; comment\r\n", "Menu", "Titol", "REBUTS   "},
        {"comment line", "[Menu]\r\n;Titol=NO\r\nTitol=SI\r\n", "Menu", "Titol", "SI"},
        {"quoted", "[A]\r\nK=\"x y\"\r\n", "A", "K", "x y"},
        {"one quote alone", "[A]\r\nK=\"\r\n", "A", "K", "\""},
        {"quote at one end", "[A]\r\nK=\"abc\r\n", "A", "K", "\"abc"},
        {"quote at the other end", "[A]\r\nK=abc\"\r\n", "A", "K", "abc\""},
        {"only one pair removed", "[A]\r\nK=\"\"a\"\"\r\n", "A", "K", "\"a\""},
        {"two quotes", "[A]\r\nK=\"\"\r\n", "A", "K", ""},
        {"section blanks and case", "[  menu ]\r\nTitol=X\r\n", "MENU", "Titol", "X"},
        {"section without ]", "[Menu\r\nTitol=X\r\n", "Menu", "Titol", "X"},
        {"arguments with blanks", "[Menu]\r\nTitol=X\r\n", "  Menu ", "  titol ", "X"},
        {"key case and indent", "[Menu]\r\n   TITOL  =X\r\n", "Menu", "titol", "X"},
        {"key before any section", "Titol=X\r\n[Menu]\r\n", "Menu", "Titol", ""},
        {"key after another section", "[Menu]\r\nA=1\r\n[Other]\r\nTitol=X\r\n", "Menu", "Titol", ""},
        {"second section of same name", "[Menu]\r\nA=1\r\n[X]\r\n[Menu]\r\nTitol=X\r\n", "Menu", "Titol", ""},
        {"first duplicate key wins", "[Menu]\r\nK=1\r\nK=2\r\n", "Menu", "K", "1"},
        {"empty value", "[Menu]\r\nK=\r\nK=2\r\n", "Menu", "K", ""},
        {"line without =", "[Menu]\r\nnothing here\r\nK=1\r\n", "Menu", "K", "1"},
        {"value keeps later =", "[A]\r\nK=a=b\r\n", "A", "K", "a=b"},
        {"key in other section", "[A]\r\nK=1\r\n[B]\r\nK=2\r\n", "B", "K", "2"},
        {"missing section", "[A]\r\nK=1\r\n", "B", "K", ""},
        {"lf line ends", "[A]\nX=0\nK=1\n", "A", "K", "1"},
        {"cr line ends", "[A]\rK=1\r", "A", "K", "1"},
        {"no line end at all", "[A]\r\nK=last", "A", "K", "last"},
        {"empty file", "", "A", "K", ""},
        {"blank lines", "\r\n   \r\n[A]\r\n\r\nK=1\r\n", "A", "K", "1"},
        {"cp850 value", "[Usuari]\r\nNom=\x80" "A\xA4\r\n", "Usuari", "Nom", "\x80" "A\xA4"},
        {"binary bytes", std::string("[A]\r\n\x00\x01\xFF=\x02\r\nK=1\r\n", 17), "A", "K", "1"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        writeFile(dir / "t.ini", c.contents);
        EXPECT_EQ(getIniValue(dir / "t.ini", c.section, c.key), c.expected) << c.what;
    }
}

TEST(IniFile, MissingFileThenPresent) {
    TempDir dir;
    EXPECT_EQ(getIniValue(dir / "Sessio.ini", "Menu", "Titol"), "");
    writeFile(dir / "Sessio.ini", "[Menu]\r\nTitol=X\r\n");
    EXPECT_EQ(getIniValue(dir / "Sessio.ini", "Menu", "Titol"), "X");
    EXPECT_EQ(getIniValue(dir.path(), "Menu", "Titol"), "");  // a folder, not a file
}

TEST(IniFile, NameWithBackslashesAndAnyCase) {
    TempDir dir;
    writeFile(dir / "sub/VESK.INI", "[Usuari]\r\nIdioma=SPA\r\n");
    EXPECT_EQ(getIniValue(dir.path() + "SUB\\Vesk.ini", "Usuari", "Idioma"), "SPA");
}

TEST(IniFile, HugeLinesAndFilesStayBounded) {
    TempDir dir;
    std::string contents = "[A]\r\n" + std::string(3 * 1024 * 1024, 'x') + "\r\nK=1\r\nL=" +
                           std::string(100000, 'y') + "\r\n";
    writeFile(dir / "big.ini", contents);
    EXPECT_EQ(getIniValue(dir / "big.ini", "A", "K"), "1");
    // A value longer than any setting is cut, not read without limit.
    const std::string longValue = getIniValue(dir / "big.ini", "A", "L");
    EXPECT_GT(longValue.size(), 60000u);
    EXPECT_LT(longValue.size(), 100000u);
}

}  // namespace
