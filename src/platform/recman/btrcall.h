// The record manager: indexed data files behind one call, in the manner of the
// Btrieve interface that the suite's programs were written against.
//
// Every data file is one SQLite database; the engine's source describes the storage.
// Callers keep a 128-byte position block per open file and pass it to every call;
// the engine keeps its handle for the open file in it.
#pragma once

#include <cstdint>

namespace recman {

// Operation codes.
enum Operation : uint16_t {
    opOpen = 0,
    opClose = 1,
    opInsert = 2,
    opUpdate = 3,
    opDelete = 4,
    opGetEqual = 5,
    opGetNext = 6,
    opGetPrevious = 7,
    opGetGreater = 8,
    opGetGreaterOrEqual = 9,
    opGetLess = 10,
    opGetLessOrEqual = 11,
    opGetFirst = 12,
    opGetLast = 13,
    opCreate = 14,
    opStat = 15,
    opGetPosition = 22,
    opGetDirect = 23,
    opUnlock = 27,
    opReset = 28,
};

// Lock biases added to a read operation code.
constexpr uint16_t lockSingleWait = 100;
constexpr uint16_t lockSingleNoWait = 200;
constexpr uint16_t lockMultipleWait = 300;
constexpr uint16_t lockMultipleNoWait = 400;

// Open modes, passed as the key number of the open operation.
constexpr int8_t openNormal = 0;
constexpr int8_t openExclusive = -4;

// Statuses.
enum Status : int16_t {
    statusOk = 0,
    statusInvalidOperation = 1,
    statusIoError = 2,
    statusFileNotOpen = 3,
    statusKeyNotFound = 4,
    statusDuplicateKey = 5,
    statusInvalidKeyNumber = 6,
    statusInvalidPositioning = 8,
    statusEndOfFile = 9,
    statusFileNotFound = 12,
    statusDataBufferTooShort = 22,
    statusKeyBufferTooShort = 21,
    statusInvalidRecordLength = 28,
    statusCreateIoError = 25,
    statusInvalidKeyLength = 29,
    statusNotADataFile = 30,
    statusAccessDenied = 46,
    statusFileExists = 59,
    statusRecordLocked = 84,
    statusFileLocked = 85,
};

}  // namespace recman

// The single entry point. dataLength is in/out (bytes offered / bytes returned).
int16_t btrcall(uint16_t operation, uint8_t* positionBlock, void* dataBuffer, uint32_t* dataLength,
                void* keyBuffer, uint8_t keyLength, int8_t keyNumber);
