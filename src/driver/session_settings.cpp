#include "driver/session_settings.h"

#include "driver/ini_file.h"
#include "format/edit_masks.h"
#include "format/text_utils.h"
#include "platform/os/os.h"
#include "platform/term/console.h"

#include <cstdint>
#include <string_view>

SessionSettings sessionSettings;

namespace {

// Colours used when the terminal's INI file names none: white on black for slot 0,
// light grey on black for slot 1, black on light grey for the others.
constexpr std::string_view kDefaultColors = "15000700000700070007";

// A directory value is used as a plain prefix; a drive (":") or a folder that
// already ends in a separator is kept as it is.
std::string withSeparator(std::string dir) {
    if (!dir.empty()) {
        const char last = dir.back();
        if (last != ':' && last != '\\' && last != '/') dir += '\\';
    }
    return dir;
}

// The leading number of a text, as the suite's configuration reads numbers:
// blanks before it are skipped, a sign is allowed, reading stops at the first
// character that is not a digit; no digits, or a value beyond 16 bits, give 0.
int16_t numericValue(std::string_view text) {
    size_t i = text.find_first_not_of(' ');
    if (i == std::string_view::npos) return 0;
    bool negative = false;
    if (text[i] == '-' || text[i] == '+') negative = text[i++] == '-';
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 32768) return 0;
    }
    if (negative) value = -value;
    if (value < INT16_MIN || value > INT16_MAX) return 0;
    return static_cast<int16_t>(value);
}

// The suite's menu names the terminal's folder in TERM. On Linux the same
// variable holds the terminal type ("xterm-256color"), which must not become a
// folder for the session's temporary files: TERM counts only when it names one.
std::string terminalFolderFromEnvironment() {
    std::string dir = os::getEnv("TERM");
    if (!dir.empty() && !os::isDirectory(dir)) dir.clear();
    return dir;
}

std::string languageCodeOf(std::string code) {
    code.resize(3, ' ');
    return code;
}

void fillColorTable(std::string_view colors) {
    for (int slot = 0; slot < 5; ++slot) {
        const size_t at = static_cast<size_t>(4 * slot);
        auto piece = [&](size_t offset) {
            return at + offset < colors.size() ? numericValue(colors.substr(at + offset, 2)) : int16_t{0};
        };
        sessionSettings.colorTable[slot].foreground = piece(0);
        sessionSettings.colorTable[slot].background = piece(2);
    }
}

}  // namespace

void loadSessionSettings() {
    SessionSettings& s = sessionSettings;
    s = SessionSettings{};

    s.rootDir = os::getEnv("ZELROOT");
    s.exeDir = os::getEnv("ZELEXE");
    s.tempDir = withSeparator(os::getEnv("ZELTMP"));

    // The menu writes the session's INI file into the folder named by ZELTMP,
    // before any fall-back: with ZELTMP empty it is read from the current folder.
    const std::string sessionFile = s.tempDir + "Sessio.ini";
    s.menuTitle = " " + getIniValue(sessionFile, "Menu", "Titol") + " ";
    s.helpTopic = getIniValue(sessionFile, "Menu", "NomMenu");
    s.menuName = getIniValue(sessionFile, "Menu", "Menu");
    s.chainMenu = getIniValue(sessionFile, "Menu", "ChnMenu");
    s.operatorName = getIniValue(sessionFile, "Menu", "Operador");
    s.operatorType = numericValue(getIniValue(sessionFile, "Menu", "ZelTipOper"));
    s.firmName = getIniValue(sessionFile, "Empresa", "Nom");

    s.terminalDir = getIniValue(sessionFile, "Terminal", "Dir");
    if (s.terminalDir.empty()) s.terminalDir = terminalFolderFromEnvironment();
    s.terminalDir = withSeparator(s.terminalDir);
    if (s.tempDir.empty()) s.tempDir = s.terminalDir;

    setCurrency("a,E");

    const std::string terminalFile = s.tempDir + "VeskTerm.ini";
    const int16_t selection = numericValue(getIniValue(terminalFile, "Pantalla", "Seleccio"));
    std::string colors = getIniValue(terminalFile, "Pantalla", "Col" + std::to_string(selection));
    if (colors.empty()) colors = kDefaultColors;
    fillColorTable(colors);

    s.sessionDate = packDigits(getIniValue(terminalFile, "Sistema", "Data"));
    s.outputDevice = getIniValue(terminalFile, "Sistema", "Sortida");
    s.languageCode = languageCodeOf(getIniValue(terminalFile, "Sistema", "Idioma"));
    if (isAllChar(s.languageCode, ' '))
        s.languageCode = languageCodeOf(getIniValue(os::getEnv("ZELROOT") + "Vesk.ini", "Usuari", "Idioma"));

    if (!os::getEnv("HTTP_USER_AGENT").empty() || !os::getEnv("HTTP_ACCEPT").empty())
        s.runMode = "CGI";
    else if (!os::getEnv("WINDIR").empty() || !os::getEnv("SYSTEMROOT").empty())
        s.runMode = "WIN";
    else
        s.runMode = "DOS";

    // The Insert toggle of the field editor is kept per terminal, beside the
    // session's other temporary files.
    term::setStateFolder(s.tempDir);
}
