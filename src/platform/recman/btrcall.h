// The record manager: indexed data files behind one call, in the manner of the
// Btrieve interface that the suite's programs were written against.
//
// Every data file is one SQLite database; engine.cpp describes the storage.
// Callers keep a 128-byte position block per open file and pass it to every call;
// the engine keeps its handle for the open file in it.
//
// What a caller may rely on:
//  - open (0): key buffer = path, then a zero byte (key length = path length);
//    the name may use "\" and any letter case. Data buffer = owner name, not
//    checked. Key number -4 opens exclusively; any other value opens normally.
//    12 = no such file, 30 = not a data file, 85 = locked by an exclusive open
//    (or, for an exclusive open, open elsewhere).
//  - create (14): data buffer = file specification (file_specification.h gives the layout),
//    data length = bytes offered (padding after the collating sequence is
//    ignored); key buffer = path as for open. Key number -1 refuses to replace an
//    existing file (59); otherwise an existing file is replaced unless it is open
//    (85). Create does not open the file.
//  - stat (15): the data buffer receives the file specification as created, with the
//    record count at offset 6; data length out = its length. The key buffer is
//    left alone.
//  - reads (5 to 13, 23): the data buffer receives the record, the key buffer the
//    record's key bytes for the key number (the whole key, whatever the key
//    length says: it must have room for 255 bytes). A record longer than the data
//    buffer gives 22 with the bytes that fit; the read still counts.
//    Search values are the first min(key length, length of the key) bytes of
//    the key buffer, extended with zero bytes.
//  - get position (22) puts the record's 32-bit position, little-endian, in the
//    first 4 bytes; get direct (23) takes it from there and makes that record
//    current on the key number given (-1: position only).
//  - insert (2) and update (3) take at least the fixed record length (shorter:
//    22); a file without the variable-length flag keeps only the fixed part.
//    Insert makes the new record current on the key number given.
//  - lock biases 100/300 (wait) and 200/400 (no wait) on reads; a record locked
//    by another open gives 84 and changes nothing, currency included.
//  - transactions (19, 20, 21) cover every file of this process.
//  - reset (28) ends any transaction (rolled back), closes every file of this
//    process and releases its locks.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

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
    opBeginTransaction = 19,
    opEndTransaction = 20,
    opAbortTransaction = 21,
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
// Key number of create that refuses to replace an existing file.
constexpr int8_t createNoReplace = -1;

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
    statusInvalidFileName = 11,
    statusFileNotFound = 12,
    statusDiskFull = 18,
    statusKeyBufferTooShort = 21,
    statusDataBufferTooShort = 22,
    statusCreateIoError = 25,
    statusInvalidKeyCount = 26,
    statusInvalidKeyPosition = 27,
    statusInvalidRecordLength = 28,
    statusInvalidKeyLength = 29,
    statusNotADataFile = 30,
    statusTransactionActive = 37,
    statusNoTransaction = 39,
    statusInvalidRecordAddress = 43,
    statusAccessDenied = 46,
    statusInvalidAcs = 48,
    statusFileExists = 59,
    statusRecordLocked = 84,
    statusFileLocked = 85,
};

struct OpenFile;    // one open of a data file: one position block
struct SharedFile;  // one database connection per data file and process

// The record manager's process-wide state.
// Invariant: every non-null opens[i] refers to a live entry of files; a file
// stays in files while an open refers to it or its transaction is not ended.
struct RecordManager {
    RecordManager();
    ~RecordManager();
    std::vector<std::unique_ptr<OpenFile>> opens;    // handle h is opens[h - 1]
    std::vector<std::unique_ptr<SharedFile>> files;
    uint32_t nextGeneration = 1;  // stamps position blocks, so stale ones are refused
    bool inTransaction = false;
};
extern RecordManager recordManager;

// The stamp of the open a position block refers to: a number no other open of
// this process ever gets, or 0 when the block is not open. Lets a caller keep
// what it learnt of an open file (its specification does not change while it
// is open) and know when that knowledge has gone stale. No record manager call.
uint32_t openStamp(const uint8_t* positionBlock);

}  // namespace recman

// The single entry point. dataLength is in/out (bytes offered / bytes returned).
int16_t btrcall(uint16_t operation, uint8_t* positionBlock, void* dataBuffer, uint32_t* dataLength,
                void* keyBuffer, uint8_t keyLength, int8_t keyNumber);
