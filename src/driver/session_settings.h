// The session: folders, menu context, colours, working date, output device,
// interface language and run mode, read once at start-up from the environment
// and the session's INI files.
#pragma once

#include <cstdint>
#include <string>

struct ColorSlot {
    int16_t foreground = 0;
    int16_t background = 0;
};

struct SessionSettings {
    std::string rootDir;
    std::string exeDir;
    std::string tempDir;
    std::string terminalDir;
    std::string menuTitle;
    std::string helpTopic;
    std::string menuName;
    std::string chainMenu;
    std::string operatorName;
    int16_t operatorType = 0;
    ColorSlot colorTable[5];
    std::string sessionDate;   // packed date
    std::string outputDevice;
    std::string languageCode;  // exactly 3 characters
    std::string runMode;       // "CGI", "WIN" or "DOS"
    std::string firmName;
};
extern SessionSettings sessionSettings;

void loadSessionSettings();
