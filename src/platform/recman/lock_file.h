// The lock file beside each data file ("<data file>.lck").
//
// Record locks and the open lock are OFD byte-range locks on this file, never on
// the database itself (SQLite keeps its own POSIX locks on that one, and those
// would be dropped by any close of another descriptor of the same file):
//   byte 0          the open lock: shared for a normal open, exclusive for an
//                   exclusive open; a conflict means the file is locked (85).
//   byte p (p >= 1) the lock on the record at position p.
// OFD locks belong to the open file description, so each open of a data file
// (each position block) has its own, and they go away with the descriptor:
// on close, on reset and when the process ends, however it ends.
//
// The first 8 bytes of the file's contents (not its locks) hold the change
// counter: every writer adds one after each commit, so a reader that saw the
// same value before and after can trust rows it read ahead.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace recman {

constexpr int64_t openLockByte = 0;

// Opens (creating if need be) the lock file of a data file; -1 on failure.
int openLockFile(const std::string& dataPath);

enum class LockResult { acquired, conflict, failed };

// Takes an exclusive (or shared) lock on one byte. wait = block until it is free.
LockResult lockByte(int fd, int64_t byte, bool exclusive, bool wait);
void unlockByte(int fd, int64_t byte);

// The change counter of a lock file, mapped shared; nullptr when it cannot be
// mapped (then nothing may be read ahead).
std::atomic<uint64_t>* mapChangeCounter(int fd);
void unmapChangeCounter(std::atomic<uint64_t>* counter);

}  // namespace recman
