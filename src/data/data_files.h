// The table of open data files: open (creating a missing file from its data
// dictionary), key lengths from the file statistics, and closing everything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr int dataFileSlotCount = 40;
constexpr std::size_t dataBufferSize = 1536;
constexpr std::size_t keyBufferSize = 256;

struct FileSlot {
    int16_t fileNumber = 0;  // 0 = free
    uint8_t positionBlock[128] = {};
    uint8_t* recordBuffer = nullptr;  // the caller's record area
    std::size_t recordCapacity = 0;   // its size: reads never copy more than this
    int32_t recordLength = 0;
    int16_t keyNumber = 0;
    std::string keyValue;
    int16_t lockMode = 0;
};

struct DataFileTable {
    FileSlot slots[dataFileSlotCount + 1];  // 1..40; slot 0 unused
    uint8_t scratchPositionBlock[128] = {};
    // Saved lock modes: pairs of bytes (slot, mode), newest last.
    std::string lockStack;
    // The message of the last open that failed, as shown before the program ended.
    std::string failureMessage;
};
extern DataFileTable dataFileTable;

// Status 0 = open; 1002 = that file number is already open; 1003 = no free slot.
// A file that can be neither opened nor created ends the program after a message.
void openDataFile(int16_t fileNumber, std::string_view name, uint8_t* recordBuffer,
                  std::size_t recordCapacity, int16_t& status);
void closeAllDataFiles(int16_t& status);
int16_t findFileSlot(int16_t fileNumber);
void queryKeyLength(int16_t fileNumber, int16_t keyNumber, int16_t& keyLength, int16_t& recordLength);

// The name rules of openDataFile, for callers that need the same names: the path
// handed to the record manager (folder + base name + extension, ".dat" by default),
// the dictionary file under rootDir, and the fatal message in the session language.
std::string dataFilePath(std::string_view name);
std::string dataDictionaryName(std::string_view name);
std::string dataFileOpenMessage(std::string_view name, int16_t status);
// Shows that message about row 12 with a beep; the box stays open for the caller.
void showDataFileFailure(std::string_view name, int16_t status);
