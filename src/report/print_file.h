// The print file "zelprint.tmp" in the temporary folder: one command a line, read
// by the print program.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

struct PrintFileState {
    std::FILE* file = nullptr;
    int16_t pageLength = 0;
    int16_t linesOnPage = 0;
    bool writeFailed = false;  // a write or the open failed since openPrintFile
};
extern PrintFileState printFileState;

std::string printFilePath();
void openPrintFile(std::string_view destination);
void closePrintFile();
void startPrintPage(int16_t lines);
void setPrintMode(std::string& request);
void printControl(std::string_view directive);
void printAt(int16_t column, std::string_view text, int16_t advance);
