// The record manager engine.
//
// STORAGE. A data file is one SQLite database in WAL mode, marked with
// application_id 0x5A454C31 ("ZEL1"):
//
//   zel_file(id = 1, format = 1, specification BLOB, records INTEGER)
//       the file specification block as created (record count zeroed) and the
//       number of records, brought up to date in the write transaction that
//       changes it.
//   records(pos INTEGER PRIMARY KEY AUTOINCREMENT, data BLOB,
//           k0 BLOB, s0 INTEGER, k1 BLOB, s1 INTEGER, ...)
//       pos is the record's position: stable for the record's life and never
//       given to another record (AUTOINCREMENT). kN is key N in normalised form
//       (file_specification.h: memcmp order is the index order); sN orders duplicates:
//       0 for a unique key, otherwise a number from the same sequence as pos,
//       drawn when the record gets its current value of that key, so equal keys
//       come back in the order they got that value. sqlite_sequence holds the
//       last number drawn, for positions and sequences alike.
//   UNIQUE INDEX keyN ON records(kN, sN)
//       the index of key N; for a unique key (sN = 0) it refuses a second
//       record with the same value.
//
// CURRENCY. An OpenFile remembers the current record as (key number, kN, sN)
// plus its position. Next and previous continue from (kN, sN) by a range seek,
// so they are right whatever happened to the current record meanwhile.
// Unlocked steps read ahead: one seek fetches a batch of rows and later steps
// hand them out. An unlocked positioned read that starts a run (greater, first,
// less, last and their "or equal" forms) fetches as many rows as recent runs
// took, and a greater (or equal) read whose answer lies among rows read ahead
// is answered from them. All of this holds as long as nothing was written
// since: no write through this process (SharedFile::localWrites) and no commit
// by anyone (the change counter in the lock file). The statements are reset after each fetch, so no read
// snapshot outlives a call. A program that writes the database without this
// engine does not move the counter, and steps may miss its writes for as long
// as a batch lasts.
//
// LOCKS. lock_file.h. A locked read locks the record it found and reads it
// again; if another record now answers the same read, it starts over.
// Writers take the record's lock for the length of the write, so a record locked
// by another open cannot change under its holder. A waiting lock on a record
// that another open of this same process holds answers 84 at once: the holder
// cannot let go while we wait.
//
// POSITION BLOCK. Bytes 0-3 "ZRM\x01", 4-7 the handle (index into
// RecordManager::opens, plus one), 8-11 the generation stamped at open; the
// rest is not used. A block whose stamp does not match a live open is not open (3).
//
// WRITES. Every write runs in a write transaction (BEGIN IMMEDIATE), its own or
// the process transaction's; a write that fails leaves nothing behind. Records
// shorter than the fixed length are refused (22), not padded: a short buffer is
// a caller's fault that padding would hide.
//
// The engine is not thread-safe: the programs are single-threaded.
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/os/os.h"
#include "platform/recman/btrcall.h"
#include "platform/recman/file_specification.h"
#include "platform/recman/lock_file.h"

namespace recman {

namespace {

constexpr int applicationId = 0x5A454C31;
constexpr int storageFormat = 1;
constexpr int busyTimeoutMs = 5000;
constexpr uint8_t blockMagic[4] = {'Z', 'R', 'M', 1};
constexpr std::size_t firstBatch = 4;
constexpr std::size_t largestBatch = 256;
// Largest record a variable-length file accepts.
constexpr uint32_t maxRecordBytes = 1u << 20;

// The range seeks a key supports. Each is one prepared statement per key.
enum Seek { seekFirst, seekLast, seekEqual, seekGreaterOrEqual, seekGreater, seekLessOrEqual, seekLess,
            seekAfter, seekBefore, seekKinds };

bool seekIsForward(Seek s) {
    return s == seekFirst || s == seekEqual || s == seekGreaterOrEqual || s == seekGreater || s == seekAfter;
}

struct Row {
    int64_t pos = 0;
    std::string data;
    std::string norm;  // kN of the key the row was read by
    int64_t seq = 0;   // sN
};

}  // namespace

// One connection per data file and process, shared by every open of that file.
struct SharedFile {
    dev_t device = 0;
    ino_t inode = 0;
    sqlite3* db = nullptr;
    FileSpecification specification;
    std::vector<std::array<sqlite3_stmt*, seekKinds>> seeks;  // prepared on first use
    sqlite3_stmt* byPosition = nullptr;
    sqlite3_stmt* insert = nullptr;
    sqlite3_stmt* update = nullptr;
    sqlite3_stmt* remove = nullptr;
    sqlite3_stmt* lastDrawn = nullptr;
    sqlite3_stmt* saveDrawn = nullptr;
    sqlite3_stmt* count = nullptr;
    sqlite3_stmt* addCount = nullptr;
    std::atomic<uint64_t>* changes = nullptr;  // in the lock file; may be null
    uint64_t localWrites = 0;   // writes through this connection, committed or not
    int opens = 0;              // OpenFiles referring to this file
    bool writing = false;       // a write transaction is open for the process transaction
    // Valid only inside a write transaction of this connection (nobody else can
    // write then): the last number drawn (0 = not read yet), whether an update
    // drew one that sqlite_sequence does not show yet, and the change of the
    // record count not yet written to zel_file.
    int64_t drawn = 0;
    bool drawnUnsaved = false;
    int64_t countChange = 0;
    ~SharedFile();
};

// One open of a data file.
// Invariant: lockedPos != 0 iff this open holds the OFD lock on that byte.
struct OpenFile {
    uint32_t generation = 0;
    SharedFile* file = nullptr;
    int lockFd = -1;
    int64_t lockedPos = 0;
    // Currency: currentKey >= 0 means (currentNorm, currentSeq) is a place in that
    // key's index; currentPos != 0 means that record exists (as far as we know).
    int currentKey = -1;
    std::string currentNorm;
    int64_t currentSeq = 0;
    int64_t currentPos = 0;
    // Read-ahead: rows[next..count) follow the current record along aheadKey in
    // the direction aheadForward, valid while the two write counts are unchanged.
    // aheadEnd: the fetch found fewer rows than it asked for, so nothing follows.
    int aheadKey = -1;
    bool aheadForward = true;
    bool aheadEnd = false;
    std::size_t aheadNext = 0, aheadCount = 0, batch = firstBatch;
    uint64_t aheadLocal = 0, aheadChanges = 0;
    std::vector<Row> rows;
    // Rows handed out since the last positioned read (itself included), and how
    // many the next one reads at once: callers walk ranges of much the same
    // length one after another (the lines of one order, the receipts of one unit).
    std::size_t runLength = 0;
    std::size_t expectedRun = firstBatch;
};

RecordManager::RecordManager() = default;
RecordManager::~RecordManager() = default;
RecordManager recordManager;

namespace {

RecordManager& rm = recordManager;

// ---------------------------------------------------------------- SQLite --

int16_t statusFromSqlite(int rc) {
    switch (rc & 0xFF) {
    case SQLITE_OK: case SQLITE_ROW: case SQLITE_DONE: return statusOk;
    case SQLITE_BUSY: case SQLITE_LOCKED: return statusFileLocked;
    case SQLITE_CONSTRAINT: return statusDuplicateKey;
    case SQLITE_FULL: return statusDiskFull;
    case SQLITE_READONLY: case SQLITE_PERM: case SQLITE_AUTH: return statusAccessDenied;
    case SQLITE_NOTADB: case SQLITE_CORRUPT: return statusNotADataFile;
    default: return statusIoError;
    }
}

sqlite3_stmt* prepare(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return nullptr;
    }
    return st;
}

int exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

std::string keyColumns(int key) {
    const std::string n = std::to_string(key);
    return "k" + n + ", s" + n;
}

std::string seekSql(int key, Seek kind) {
    const std::string n = std::to_string(key);
    const std::string k = "k" + n, s = "s" + n;
    std::string sql = "SELECT pos, data, " + k + ", " + s + " FROM records";
    switch (kind) {
    case seekEqual: sql += " WHERE " + k + " = ?1"; break;
    case seekGreaterOrEqual: sql += " WHERE " + k + " >= ?1"; break;
    case seekGreater: sql += " WHERE " + k + " > ?1"; break;
    case seekLessOrEqual: sql += " WHERE " + k + " <= ?1"; break;
    case seekLess: sql += " WHERE " + k + " < ?1"; break;
    case seekAfter: sql += " WHERE (" + k + ", " + s + ") > (?1, ?2)"; break;
    case seekBefore: sql += " WHERE (" + k + ", " + s + ") < (?1, ?2)"; break;
    default: break;
    }
    if (seekIsForward(kind)) sql += " ORDER BY " + k + ", " + s;
    else sql += " ORDER BY " + k + " DESC, " + s + " DESC";
    return sql + " LIMIT ?3";
}

void finalizeAll(SharedFile& f) {
    for (auto& perKey : f.seeks)
        for (sqlite3_stmt*& st : perKey) sqlite3_finalize(st);
    for (sqlite3_stmt* st : {f.byPosition, f.insert, f.update, f.remove, f.lastDrawn, f.saveDrawn, f.count,
                             f.addCount})
        sqlite3_finalize(st);
    f.seeks.clear();
    f.byPosition = f.insert = f.update = f.remove = f.lastDrawn = f.saveDrawn = f.count = f.addCount = nullptr;
}

}  // namespace

SharedFile::~SharedFile() {
    finalizeAll(*this);
    sqlite3_close_v2(db);
    unmapChangeCounter(changes);
}

namespace {

void closeShared(SharedFile* f) {
    auto it = std::find_if(rm.files.begin(), rm.files.end(), [f](auto& p) { return p.get() == f; });
    if (it != rm.files.end()) rm.files.erase(it);
}

// Prepares the statements every open needs; the seeks wait for their first use.
bool prepareStatements(SharedFile& f) {
    const std::size_t keys = f.specification.keys.size();
    f.seeks.assign(keys, {});
    // Insert and update bind alike: ?1 data, ?(2+2k) kN, ?(3+2k) sN, then pos.
    std::string all = "pos, data", columns = "data", marks = "?1", sets = "data = ?1";
    for (std::size_t k = 0; k < keys; ++k) {
        all += ", " + keyColumns(static_cast<int>(k));
        columns += ", " + keyColumns(static_cast<int>(k));
        const std::string kp = "?" + std::to_string(2 + 2 * k), sp = "?" + std::to_string(3 + 2 * k);
        marks += ", " + kp + ", " + sp;
        sets += ", k" + std::to_string(k) + " = " + kp + ", s" + std::to_string(k) + " = " + sp;
    }
    const std::string posMark = "?" + std::to_string(2 + 2 * keys);
    f.byPosition = prepare(f.db, "SELECT " + all + " FROM records WHERE pos = ?1");
    f.insert = prepare(f.db, "INSERT INTO records(" + columns + ", pos) VALUES (" + marks + ", " + posMark + ")");
    f.update = prepare(f.db, "UPDATE records SET " + sets + " WHERE pos = " + posMark);
    f.remove = prepare(f.db, "DELETE FROM records WHERE pos = ?1");
    f.lastDrawn = prepare(f.db, "SELECT coalesce((SELECT seq FROM sqlite_sequence WHERE name = 'records'), 0)");
    f.saveDrawn = prepare(f.db, "UPDATE sqlite_sequence SET seq = max(seq, ?1) WHERE name = 'records'");
    f.count = prepare(f.db, "SELECT records FROM zel_file");
    f.addCount = prepare(f.db, "UPDATE zel_file SET records = records + ?1");
    return f.byPosition && f.insert && f.update && f.remove && f.lastDrawn && f.saveDrawn && f.count &&
           f.addCount;
}

sqlite3_stmt* seekStatement(SharedFile& f, int key, Seek kind) {
    sqlite3_stmt*& st = f.seeks[key][kind];
    if (st == nullptr) st = prepare(f.db, seekSql(key, kind));
    return st;
}

// Runs a seek and keeps up to limit rows (rows[0..found)). The statement is reset
// before returning, so no read transaction stays open.
int16_t runSeek(SharedFile& f, int key, Seek kind, const std::string& norm, int64_t seq, std::size_t limit,
                std::vector<Row>& rows, std::size_t& found) {
    found = 0;
    sqlite3_stmt* st = seekStatement(f, key, kind);
    if (st == nullptr) return statusIoError;
    sqlite3_bind_blob(st, 1, norm.data(), static_cast<int>(norm.size()), SQLITE_STATIC);
    sqlite3_bind_int64(st, 2, seq);
    sqlite3_bind_int64(st, 3, static_cast<int64_t>(limit));
    if (rows.size() < limit) rows.resize(limit);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        Row& r = rows[found++];
        r.pos = sqlite3_column_int64(st, 0);
        r.data.assign(static_cast<const char*>(sqlite3_column_blob(st, 1)), sqlite3_column_bytes(st, 1));
        r.norm.assign(static_cast<const char*>(sqlite3_column_blob(st, 2)), sqlite3_column_bytes(st, 2));
        r.seq = sqlite3_column_int64(st, 3);
    }
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    return rc == SQLITE_DONE ? int16_t{statusOk} : statusFromSqlite(rc);
}

// The whole row at a position: data, then every key's (kN, sN).
struct FullRow {
    int64_t pos = 0;
    std::string data;
    std::vector<std::string> norms;
    std::vector<int64_t> seqs;
};

int16_t readByPosition(SharedFile& f, int64_t pos, FullRow& row) {
    sqlite3_stmt* st = f.byPosition;
    sqlite3_bind_int64(st, 1, pos);
    int rc = sqlite3_step(st);
    int16_t status = statusOk;
    if (rc == SQLITE_ROW) {
        const std::size_t keys = f.specification.keys.size();
        row.pos = pos;
        row.data.assign(static_cast<const char*>(sqlite3_column_blob(st, 1)), sqlite3_column_bytes(st, 1));
        row.norms.resize(keys);
        row.seqs.resize(keys);
        for (std::size_t k = 0; k < keys; ++k) {
            const int c = 2 + 2 * static_cast<int>(k);
            row.norms[k].assign(static_cast<const char*>(sqlite3_column_blob(st, c)), sqlite3_column_bytes(st, c));
            row.seqs[k] = sqlite3_column_int64(st, c + 1);
        }
    } else {
        status = rc == SQLITE_DONE ? int16_t{statusInvalidRecordAddress} : statusFromSqlite(rc);
    }
    sqlite3_reset(st);
    return status;
}

// ------------------------------------------------------------- handles --

void writeBlock(uint8_t* block, uint32_t handle, uint32_t generation) {
    std::memcpy(block, blockMagic, 4);
    std::memcpy(block + 4, &handle, 4);
    std::memcpy(block + 8, &generation, 4);
}

OpenFile* findOpen(const uint8_t* block) {
    if (block == nullptr || std::memcmp(block, blockMagic, 4) != 0) return nullptr;
    uint32_t handle, generation;
    std::memcpy(&handle, block + 4, 4);
    std::memcpy(&generation, block + 8, 4);
    if (handle == 0 || handle > rm.opens.size()) return nullptr;
    OpenFile* o = rm.opens[handle - 1].get();
    return o != nullptr && o->generation == generation ? o : nullptr;
}

void releaseRecordLock(OpenFile& o) {
    if (o.lockedPos != 0) unlockByte(o.lockFd, o.lockedPos);
    o.lockedPos = 0;
}

void closeOpen(OpenFile* o) {
    releaseRecordLock(*o);
    ::close(o->lockFd);  // drops the open lock as well
    SharedFile* f = o->file;
    for (auto& p : rm.opens)
        if (p.get() == o) p.reset();
    if (--f->opens == 0 && !f->writing) closeShared(f);
}

// Does another open of this process hold the lock on this record? Then waiting
// for it in the kernel would never end.
bool lockedHere(const OpenFile& self, int64_t pos) {
    for (auto& p : rm.opens)
        if (p && p.get() != &self && p->file == self.file && p->lockedPos == pos) return true;
    return false;
}

// ------------------------------------------------------------- writing --

// Every write runs inside a write transaction of its connection: within a
// process transaction the one opened by the file's first write, which lasts
// until end or abort; otherwise one of its own.
int16_t enterTransaction(SharedFile& f) {
    if (!rm.inTransaction || f.writing) return statusOk;
    int rc = exec(f.db, "BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) return statusFromSqlite(rc);
    f.writing = true;
    return statusOk;
}

void forgetPending(SharedFile& f) {
    f.drawn = 0;
    f.drawnUnsaved = false;
    f.countChange = 0;
}

// The next number for a position or a duplicate sequence.
int16_t drawNumber(SharedFile& f, int64_t& number) {
    if (f.drawn == 0) {
        int rc = sqlite3_step(f.lastDrawn);
        f.drawn = rc == SQLITE_ROW ? sqlite3_column_int64(f.lastDrawn, 0) : -1;
        sqlite3_reset(f.lastDrawn);
        if (rc != SQLITE_ROW) {
            f.drawn = 0;
            return statusFromSqlite(rc == SQLITE_DONE ? SQLITE_CORRUPT : rc);
        }
    }
    if (f.drawn >= INT32_MAX) return statusDiskFull;  // positions are 32-bit
    number = ++f.drawn;
    return statusOk;
}

// Writes what the transaction kept in memory: the record count, and the last
// number drawn when an update drew it (inserts move sqlite_sequence themselves).
int16_t savePending(SharedFile& f) {
    int rc = SQLITE_DONE;
    if (f.countChange != 0) {
        sqlite3_bind_int64(f.addCount, 1, f.countChange);
        rc = sqlite3_step(f.addCount);
        sqlite3_reset(f.addCount);
    }
    if (rc == SQLITE_DONE && f.drawnUnsaved) {
        sqlite3_bind_int64(f.saveDrawn, 1, f.drawn);
        rc = sqlite3_step(f.saveDrawn);
        sqlite3_reset(f.saveDrawn);
    }
    forgetPending(f);
    return rc == SQLITE_DONE ? int16_t{statusOk} : statusFromSqlite(rc);
}

// Runs body inside a write transaction (see enterTransaction); one of its own is
// committed on success and rolled back on failure.
template <typename Body>
int16_t writeAtomically(SharedFile& f, Body body) {
    if (rm.inTransaction) {
        int16_t status = enterTransaction(f);
        return status != statusOk ? status : body();
    }
    int rc = exec(f.db, "BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) return statusFromSqlite(rc);
    int16_t status = body();
    if (status == statusOk) status = savePending(f);
    if (status == statusOk) {
        rc = exec(f.db, "COMMIT");
        if (rc != SQLITE_OK) status = statusFromSqlite(rc);
    }
    if (status != statusOk) exec(f.db, "ROLLBACK");
    forgetPending(f);
    return status;
}

void noteWrite(SharedFile& f) {
    ++f.localWrites;
    if (!rm.inTransaction && f.changes != nullptr) f.changes->fetch_add(1);
}

// A write on a record takes that record's lock for its length unless this open
// holds it already. Returns 84 when another open holds it.
int16_t guardRecord(OpenFile& o, int64_t pos, bool& taken) {
    taken = false;
    if (o.lockedPos == pos) return statusOk;
    if (lockedHere(o, pos)) return statusRecordLocked;
    switch (lockByte(o.lockFd, pos, true, false)) {
    case LockResult::acquired: taken = true; return statusOk;
    case LockResult::conflict: return statusRecordLocked;
    default: return statusIoError;
    }
}

void bindKeys(SharedFile& f, sqlite3_stmt* st, const std::vector<std::string>& norms) {
    for (std::size_t k = 0; k < norms.size(); ++k)
        sqlite3_bind_blob(st, 2 + 2 * static_cast<int>(k), norms[k].data(), static_cast<int>(norms[k].size()),
                          SQLITE_STATIC);
}

std::vector<std::string> normsOf(const SharedFile& f, const uint8_t* record) {
    std::vector<std::string> norms;
    norms.reserve(f.specification.keys.size());
    for (const KeyDefinition& key : f.specification.keys) {
        const std::string raw = extractKey(key, record);
        norms.push_back(normalizeKey(f.specification, key, reinterpret_cast<const uint8_t*>(raw.data()), raw.size()));
    }
    return norms;
}

// -------------------------------------------------------------- buffers --

struct Call {
    uint8_t* data;
    uint32_t offered;
    uint32_t* dataLength;
    uint8_t* key;
    uint8_t keyLength;
    int keyNumber;
};

void setLength(Call& c, uint32_t n) {
    if (c.dataLength != nullptr) *c.dataLength = n;
}

// Hands a record to the caller: data (22 when it does not all fit) and the key
// bytes of the key number, and makes it current.
int16_t deliver(OpenFile& o, Call& c, int key, const Row& row) {
    o.currentKey = key;
    o.currentNorm = row.norm;
    o.currentSeq = row.seq;
    o.currentPos = row.pos;
    const uint32_t size = static_cast<uint32_t>(row.data.size());
    const uint32_t n = std::min(size, c.offered);
    if (n > 0) std::memcpy(c.data, row.data.data(), n);
    setLength(c, n);
    if (c.key != nullptr && key >= 0 && row.data.size() >= o.file->specification.recordLength) {
        const KeyDefinition& def = o.file->specification.keys[key];
        const auto* rec = reinterpret_cast<const uint8_t*>(row.data.data());
        for (const KeySegment& s : def.segments) {
            std::memcpy(c.key, rec + s.offset, s.length);
            c.key += s.length;
        }
    }
    return n < size ? statusDataBufferTooShort : statusOk;
}

void dropReadAhead(OpenFile& o) {
    o.aheadKey = -1;
    o.aheadCount = o.aheadNext = 0;
    o.aheadEnd = false;
    o.batch = firstBatch;
}

uint64_t changeCount(const SharedFile& f) { return f.changes ? f.changes->load(std::memory_order_acquire) : 0; }

// ----------------------------------------------------------- operations --

std::string pathFromKey(const Call& c) {
    if (c.key == nullptr) return {};
    const uint8_t* end = static_cast<const uint8_t*>(std::memchr(c.key, 0, c.keyLength));
    std::size_t n = end ? static_cast<std::size_t>(end - c.key) : c.keyLength;
    return std::string(reinterpret_cast<const char*>(c.key), n);
}

int16_t loadSharedFile(const std::string& path, const struct stat& st, SharedFile*& out) {
    for (auto& f : rm.files)
        if (f->device == st.st_dev && f->inode == st.st_ino) {
            out = f.get();
            return statusOk;
        }
    auto f = std::make_unique<SharedFile>();
    f->device = st.st_dev;
    f->inode = st.st_ino;
    int rc = sqlite3_open_v2(path.c_str(), &f->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) return rc == SQLITE_CANTOPEN ? statusAccessDenied : statusIoError;
    sqlite3_busy_timeout(f->db, busyTimeoutMs);
    int16_t status = statusNotADataFile;
    sqlite3_stmt* st2 = prepare(f->db, "SELECT format, specification FROM zel_file WHERE id = 1");
    sqlite3_stmt* app = prepare(f->db, "PRAGMA application_id");
    if (st2 != nullptr && app != nullptr && sqlite3_step(app) == SQLITE_ROW &&
        sqlite3_column_int(app, 0) == applicationId) {
        rc = sqlite3_step(st2);
        if (rc == SQLITE_ROW && sqlite3_column_int(st2, 0) == storageFormat) {
            const auto* b = static_cast<const uint8_t*>(sqlite3_column_blob(st2, 1));
            if (parseSpecification(b, sqlite3_column_bytes(st2, 1), f->specification) == statusOk) status = statusOk;
        } else if (rc != SQLITE_ROW && rc != SQLITE_DONE && statusFromSqlite(rc) != statusNotADataFile) {
            status = statusFromSqlite(rc);
        }
    }
    sqlite3_finalize(st2);
    sqlite3_finalize(app);
    if (status == statusOk && !prepareStatements(*f)) status = statusNotADataFile;
    // WAL makes NORMAL safe against corruption; the larger cache and the mapping
    // keep walks and loads of files of a million records off the read calls.
    if (status == statusOk)
        exec(f->db, "PRAGMA synchronous = NORMAL; PRAGMA cache_size = -65536; PRAGMA mmap_size = 1073741824");
    if (status != statusOk) return status;
    out = f.get();
    rm.files.push_back(std::move(f));
    return statusOk;
}

int16_t doOpen(uint8_t* block, Call& c) {
    const std::string name = pathFromKey(c);
    if (name.empty()) return statusInvalidFileName;
    const std::string path = os::mapPath(name);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno == EACCES ? statusAccessDenied : statusFileNotFound;
    if (!S_ISREG(st.st_mode)) return statusFileNotFound;
    const bool exclusive = c.keyNumber == openExclusive;
    int fd = openLockFile(path);
    if (fd < 0) return errno == EACCES || errno == EROFS ? statusAccessDenied : statusIoError;
    LockResult lr = lockByte(fd, openLockByte, exclusive, false);
    if (lr != LockResult::acquired) {
        ::close(fd);
        return lr == LockResult::conflict ? statusFileLocked : statusIoError;
    }
    SharedFile* f = nullptr;
    int16_t status = loadSharedFile(path, st, f);
    if (status != statusOk) {
        ::close(fd);
        return status;
    }
    if (f->changes == nullptr) f->changes = mapChangeCounter(fd);
    auto o = std::make_unique<OpenFile>();
    o->generation = rm.nextGeneration++;
    o->file = f;
    o->lockFd = fd;
    ++f->opens;
    std::size_t slot = 0;
    while (slot < rm.opens.size() && rm.opens[slot]) ++slot;
    if (slot == rm.opens.size()) rm.opens.emplace_back();
    writeBlock(block, static_cast<uint32_t>(slot + 1), o->generation);
    rm.opens[slot] = std::move(o);
    return statusOk;
}

int16_t buildDatabase(const std::string& path, const FileSpecification& specification) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    std::string sql = "PRAGMA application_id = " + std::to_string(applicationId) +
                      "; PRAGMA journal_mode = WAL; BEGIN;"
                      " CREATE TABLE zel_file(id INTEGER PRIMARY KEY CHECK (id = 1), format INTEGER NOT NULL,"
                      " specification BLOB NOT NULL, records INTEGER NOT NULL);"
                      " CREATE TABLE records(pos INTEGER PRIMARY KEY AUTOINCREMENT, data BLOB NOT NULL";
    for (std::size_t k = 0; k < specification.keys.size(); ++k)
        sql += ", k" + std::to_string(k) + " BLOB NOT NULL, s" + std::to_string(k) + " INTEGER NOT NULL";
    sql += ");";
    for (std::size_t k = 0; k < specification.keys.size(); ++k)
        sql += " CREATE UNIQUE INDEX key" + std::to_string(k) + " ON records(" + keyColumns(static_cast<int>(k)) +
               ");";
    if (rc == SQLITE_OK) rc = exec(db, sql.c_str());
    if (rc == SQLITE_OK) {
        sqlite3_stmt* st = prepare(db, "INSERT INTO zel_file VALUES (1, ?1, ?2, 0)");
        rc = st ? SQLITE_OK : SQLITE_ERROR;
        if (st) {
            sqlite3_bind_int(st, 1, storageFormat);
            sqlite3_bind_blob(st, 2, specification.block.data(), static_cast<int>(specification.block.size()), SQLITE_STATIC);
            rc = sqlite3_step(st) == SQLITE_DONE ? SQLITE_OK : SQLITE_ERROR;
            sqlite3_finalize(st);
        }
    }
    if (rc == SQLITE_OK) rc = exec(db, "COMMIT");
    // Closing the last connection checkpoints and removes the WAL, so the
    // database is complete in its one file.
    if (sqlite3_close(db) != SQLITE_OK) rc = SQLITE_ERROR;
    return rc == SQLITE_OK ? statusOk : statusCreateIoError;
}

int16_t doCreate(Call& c) {
    const std::string name = pathFromKey(c);
    if (name.empty()) return statusInvalidFileName;
    FileSpecification specification;
    int16_t status = parseSpecification(c.data, c.offered, specification);
    if (status != statusOk) return status;
    const std::string path = os::mapPath(name);
    const bool exists = ::access(path.c_str(), F_OK) == 0;
    if (exists && c.keyNumber == createNoReplace) return statusFileExists;
    // Holding the open lock exclusively keeps every open out while the file is
    // replaced, and tells us whether anyone has it open now.
    int fd = openLockFile(path);
    if (fd < 0) return statusCreateIoError;
    if (lockByte(fd, openLockByte, true, false) != LockResult::acquired) {
        ::close(fd);
        return statusFileLocked;
    }
    const std::string temporary = path + ".new" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    status = buildDatabase(temporary, specification);
    if (status == statusOk) {
        if (c.keyNumber == createNoReplace) {
            // link() refuses an existing target, so a racing creator loses cleanly.
            if (::link(temporary.c_str(), path.c_str()) != 0)
                status = errno == EEXIST ? statusFileExists : statusCreateIoError;
        } else {
            ::unlink((path + "-wal").c_str());
            ::unlink((path + "-shm").c_str());
            if (::rename(temporary.c_str(), path.c_str()) != 0) status = statusCreateIoError;
        }
    }
    ::unlink(temporary.c_str());
    ::unlink((temporary + "-wal").c_str());
    ::unlink((temporary + "-shm").c_str());
    if (status == statusOk) {
        // The lock file's change counter must move: rows read ahead from the
        // old file are no longer true.
        if (std::atomic<uint64_t>* counter = mapChangeCounter(fd)) {
            counter->fetch_add(1);
            unmapChangeCounter(counter);
        }
    }
    ::close(fd);
    return status;
}

int16_t doStat(OpenFile& o, Call& c) {
    SharedFile& f = *o.file;
    std::string block = f.specification.block;
    int rc = sqlite3_step(f.count);
    int64_t records = rc == SQLITE_ROW ? sqlite3_column_int64(f.count, 0) : 0;
    sqlite3_reset(f.count);
    if (rc != SQLITE_ROW) return statusFromSqlite(rc == SQLITE_DONE ? SQLITE_CORRUPT : rc);
    records += f.countChange;  // this process's transaction sees its own writes
    const uint32_t n32 = static_cast<uint32_t>(std::clamp<int64_t>(records, 0, UINT32_MAX));
    for (int i = 0; i < 4; ++i) block[recordCountOffset + i] = static_cast<char>((n32 >> (8 * i)) & 0xFF);
    const uint32_t n = std::min<uint32_t>(c.offered, static_cast<uint32_t>(block.size()));
    if (n > 0) std::memcpy(c.data, block.data(), n);
    setLength(c, n);
    return n < block.size() ? statusDataBufferTooShort : statusOk;
}

// Brings the currency onto key: from another key's place, through the record
// at the current position.
int16_t currencyOn(OpenFile& o, int key) {
    if (o.currentKey == key) return statusOk;
    if (o.currentPos == 0) return statusInvalidPositioning;
    FullRow row;
    int16_t status = readByPosition(*o.file, o.currentPos, row);
    if (status == statusInvalidRecordAddress) return statusInvalidPositioning;
    if (status != statusOk) return status;
    o.currentKey = key;
    o.currentNorm = row.norms[key];
    o.currentSeq = row.seqs[key];
    dropReadAhead(o);
    return statusOk;
}

// Finds the record a read asks for, fresh from the database. For next and
// previous the place is the currency; for the others the search value.
int16_t locate(OpenFile& o, int op, int key, const std::string& value, Row& out) {
    SharedFile& f = *o.file;
    Seek kind;
    const std::string* norm = &value;
    int64_t seq = 0;
    switch (op) {
    case opGetEqual: kind = seekEqual; break;
    case opGetGreater: kind = seekGreater; break;
    case opGetGreaterOrEqual: kind = seekGreaterOrEqual; break;
    case opGetLess: kind = seekLess; break;
    case opGetLessOrEqual: kind = seekLessOrEqual; break;
    case opGetFirst: kind = seekFirst; break;
    case opGetLast: kind = seekLast; break;
    default:
        kind = op == opGetNext ? seekAfter : seekBefore;
        norm = &o.currentNorm;
        seq = o.currentSeq;
        break;
    }
    std::vector<Row> one(1);
    std::size_t found = 0;
    int16_t status = runSeek(f, key, kind, *norm, seq, 1, one, found);
    if (status != statusOk) return status;
    if (found == 0) return op == opGetEqual ? statusKeyNotFound : statusEndOfFile;
    out = std::move(one[0]);
    return statusOk;
}

// An unlocked next or previous: from the rows read ahead when they still hold,
// otherwise a new batch, twice as large as the last one up to largestBatch.
int16_t stepAhead(OpenFile& o, int op, int key, Row*& out) {
    SharedFile& f = *o.file;
    const bool forward = op == opGetNext;
    const bool valid = f.changes != nullptr && o.aheadKey == key && o.aheadForward == forward &&
                       o.aheadLocal == f.localWrites && o.aheadChanges == changeCount(f);
    if (valid && o.aheadNext < o.aheadCount) {
        out = &o.rows[o.aheadNext++];
        ++o.runLength;
        return statusOk;
    }
    if (valid && o.aheadEnd) return statusEndOfFile;
    const std::size_t limit = f.changes != nullptr ? o.batch : 1;
    o.aheadChanges = changeCount(f);  // before the fetch: a commit after it shows
    o.aheadLocal = f.localWrites;
    std::size_t found = 0;
    int16_t status = runSeek(f, key, forward ? seekAfter : seekBefore, o.currentNorm, o.currentSeq, limit, o.rows,
                             found);
    if (status != statusOk) {
        dropReadAhead(o);
        return status;
    }
    o.aheadKey = key;
    o.aheadForward = forward;
    o.aheadCount = found;
    o.aheadEnd = found < limit;
    o.batch = std::min(o.batch * 2, largestBatch);
    if (found == 0) return statusEndOfFile;
    o.aheadNext = 1;
    out = &o.rows[0];
    ++o.runLength;
    return statusOk;
}

// Seeks that find the first of a run along the key: the rows after the one found
// are the ones next (for the forward seeks) or previous (backward) gives.
bool startsRun(int op) {
    return op == opGetGreater || op == opGetGreaterOrEqual || op == opGetFirst || op == opGetLess ||
           op == opGetLessOrEqual || op == opGetLast;
}

// A positioned read starts a new run: the last one tells how long runs are
// (slowly forgetting longer ones, so a run that falls short costs little).
void startRun(OpenFile& o) {
    if (o.runLength > 0)
        o.expectedRun = std::clamp(std::max(o.runLength, o.expectedRun - o.expectedRun / 64), firstBatch, largestBatch);
    o.runLength = 1;
}

// An unlocked greater (or equal) read whose answer is among the rows read ahead
// along the same key: those are one stretch of the index as it stood when they
// were fetched, and nothing was written since. When the first of them is below
// the search value, the first one at (or past) it is the answer the database
// would give, and the rows after it serve the steps that follow. A walk over
// ranges that lie next to each other (the receipts of one unit after another)
// then goes on from the same batch.
Row* fromReadAhead(OpenFile& o, int op, int key, const std::string& value) {
    if (op != opGetGreaterOrEqual && op != opGetGreater) return nullptr;
    const SharedFile& f = *o.file;
    if (f.changes == nullptr || o.aheadKey != key || !o.aheadForward || o.aheadCount == 0 ||
        o.aheadLocal != f.localWrites || o.aheadChanges != changeCount(f))
        return nullptr;
    // Keys compare as SQLite compares blobs: bytes unsigned, then the shorter first.
    const bool strict = op == opGetGreater;
    auto before = [&](const Row& r) {
        const int c = r.norm.compare(value);
        return strict ? c <= 0 : c < 0;
    };
    const auto first = o.rows.begin(), end = o.rows.begin() + static_cast<std::ptrdiff_t>(o.aheadCount);
    if (!before(*first)) return nullptr;
    const auto answer = std::partition_point(first, end, before);
    if (answer == end) return nullptr;
    o.aheadNext = static_cast<std::size_t>(answer - first) + 1;
    return &*answer;
}

// An unlocked positioned read that starts a run: it fetches about as many rows
// as the last run took, and keeps those after the first for the steps to come.
int16_t seekAhead(OpenFile& o, Call& c, int op, int key, const std::string& value) {
    SharedFile& f = *o.file;
    startRun(o);
    Seek kind;
    switch (op) {
    case opGetGreater: kind = seekGreater; break;
    case opGetGreaterOrEqual: kind = seekGreaterOrEqual; break;
    case opGetFirst: kind = seekFirst; break;
    case opGetLess: kind = seekLess; break;
    case opGetLessOrEqual: kind = seekLessOrEqual; break;
    default: kind = seekLast; break;
    }
    // One more than the run: a walk of a range reads the first row past it.
    const std::size_t limit = std::min(o.expectedRun + 1, largestBatch);
    o.aheadChanges = changeCount(f);  // before the fetch: a commit after it shows
    o.aheadLocal = f.localWrites;
    std::size_t found = 0;
    int16_t status = runSeek(f, key, kind, value, 0, limit, o.rows, found);
    if (status != statusOk || found == 0) {
        dropReadAhead(o);
        return status != statusOk ? status : int16_t{statusEndOfFile};
    }
    o.aheadKey = key;
    o.aheadForward = seekIsForward(kind);
    o.aheadCount = found;
    o.aheadNext = 1;
    o.aheadEnd = found < limit;
    o.batch = std::min(limit * 2, largestBatch);
    return deliver(o, c, key, o.rows[0]);
}

int16_t doRead(OpenFile& o, Call& c, int op, int bias) {
    SharedFile& f = *o.file;
    const int keyCount = static_cast<int>(f.specification.keys.size());
    const int key = c.keyNumber;
    if (key < 0 || key >= keyCount) return statusInvalidKeyNumber;
    const bool step = op == opGetNext || op == opGetPrevious;
    std::string value;
    if (step) {
        int16_t status = currencyOn(o, key);
        if (status != statusOk) return status;
    } else {
        const KeyDefinition& def = f.specification.keys[key];
        value = normalizeKey(f.specification, def, c.key, c.key ? std::min<std::size_t>(c.keyLength, def.length) : 0);
    }
    if (bias == 0) {
        if (step) {
            Row* row = nullptr;
            int16_t status = stepAhead(o, op, key, row);
            if (status != statusOk) return status;
            return deliver(o, c, key, *row);
        }
        if (Row* row = fromReadAhead(o, op, key, value)) {
            startRun(o);
            return deliver(o, c, key, *row);
        }
        if (f.changes != nullptr && startsRun(op)) return seekAhead(o, c, op, key, value);
        Row row;
        int16_t status = locate(o, op, key, value, row);
        if (status != statusOk) return status;
        dropReadAhead(o);
        return deliver(o, c, key, row);
    }
    // Locked read: find, lock, read again; the answer must be the record locked.
    const bool wait = bias == 1 || bias == 3;
    for (int attempt = 0;; ++attempt) {
        Row row;
        int16_t status = locate(o, op, key, value, row);
        if (status != statusOk) return status;
        if (o.lockedPos != row.pos) {
            releaseRecordLock(o);
            if (lockedHere(o, row.pos)) return statusRecordLocked;
            LockResult lr = lockByte(o.lockFd, row.pos, true, wait);
            if (lr == LockResult::conflict) return statusRecordLocked;
            if (lr != LockResult::acquired) return statusIoError;
            o.lockedPos = row.pos;
        }
        Row again;
        status = locate(o, op, key, value, again);
        if (status == statusOk && again.pos == row.pos) {
            dropReadAhead(o);
            return deliver(o, c, key, again);
        }
        releaseRecordLock(o);
        if (attempt == 100) return status != statusOk ? status : int16_t{statusRecordLocked};
    }
}

int16_t doGetDirect(OpenFile& o, Call& c, int bias) {
    SharedFile& f = *o.file;
    const int key = c.keyNumber;
    if (key < -1 || key >= static_cast<int>(f.specification.keys.size())) return statusInvalidKeyNumber;
    if (c.offered < 4) return statusDataBufferTooShort;
    uint32_t pos32;
    std::memcpy(&pos32, c.data, 4);
    const int64_t pos = pos32;
    if (pos == 0) return statusInvalidRecordAddress;
    if (bias != 0 && o.lockedPos != pos) {
        releaseRecordLock(o);
        if (lockedHere(o, pos)) return statusRecordLocked;
        LockResult lr = lockByte(o.lockFd, pos, true, bias == 1 || bias == 3);
        if (lr == LockResult::conflict) return statusRecordLocked;
        if (lr != LockResult::acquired) return statusIoError;
        o.lockedPos = pos;
    }
    FullRow full;
    int16_t status = readByPosition(f, pos, full);
    if (status != statusOk) {
        if (bias != 0) releaseRecordLock(o);
        return status;
    }
    dropReadAhead(o);
    Row row;
    row.pos = pos;
    row.data = std::move(full.data);
    if (key >= 0) {
        row.norm = full.norms[key];
        row.seq = full.seqs[key];
    }
    return deliver(o, c, key, row);
}

int16_t doGetPosition(OpenFile& o, Call& c) {
    if (o.currentPos == 0) return statusInvalidPositioning;
    if (c.offered < 4) return statusDataBufferTooShort;
    const uint32_t pos = static_cast<uint32_t>(o.currentPos);
    std::memcpy(c.data, &pos, 4);
    setLength(c, 4);
    return statusOk;
}

// The bytes a write stores: the fixed part, or everything offered when the file
// holds variable-length records.
int16_t recordToStore(const SharedFile& f, const Call& c, uint32_t& size) {
    if (c.data == nullptr || c.offered < f.specification.recordLength) return statusDataBufferTooShort;
    size = (f.specification.fileFlags & fileVariableLength) ? c.offered : f.specification.recordLength;
    return size > maxRecordBytes ? statusInvalidRecordLength : statusOk;
}

void returnKey(OpenFile& o, Call& c, int key) {
    if (c.key == nullptr || key < 0) return;
    const KeyDefinition& def = o.file->specification.keys[key];
    if (c.keyLength < def.length) return;
    const std::string raw = extractKey(def, c.data);
    std::memcpy(c.key, raw.data(), raw.size());
}

int16_t doInsert(OpenFile& o, Call& c) {
    SharedFile& f = *o.file;
    uint32_t size = 0;
    int16_t status = recordToStore(f, c, size);
    if (status != statusOk) return status;
    const std::vector<std::string> norms = normsOf(f, c.data);
    int64_t pos = 0;
    status = writeAtomically(f, [&]() -> int16_t {
        int16_t s = drawNumber(f, pos);
        if (s != statusOk) return s;
        sqlite3_stmt* st = f.insert;
        sqlite3_bind_blob(st, 1, c.data, static_cast<int>(size), SQLITE_STATIC);
        bindKeys(f, st, norms);
        for (std::size_t k = 0; k < norms.size(); ++k)
            sqlite3_bind_int64(st, 3 + 2 * static_cast<int>(k), f.specification.keys[k].duplicates ? pos : 0);
        sqlite3_bind_int64(st, 2 + 2 * static_cast<int>(norms.size()), pos);
        int rc = sqlite3_step(st);
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        if (rc != SQLITE_DONE) return statusFromSqlite(rc);
        ++f.countChange;
        return statusOk;
    });
    if (status != statusOk) return status;
    noteWrite(f);
    dropReadAhead(o);
    o.currentPos = pos;
    const int key = c.keyNumber;
    if (key >= 0 && key < static_cast<int>(f.specification.keys.size())) {
        o.currentKey = key;
        o.currentNorm = norms[key];
        o.currentSeq = f.specification.keys[key].duplicates ? pos : 0;
        returnKey(o, c, key);
    } else {
        o.currentKey = -1;
    }
    return statusOk;
}

int16_t doUpdate(OpenFile& o, Call& c) {
    SharedFile& f = *o.file;
    if (o.currentPos == 0) return statusInvalidPositioning;
    uint32_t size = 0;
    int16_t status = recordToStore(f, c, size);
    if (status != statusOk) return status;
    bool taken = false;
    status = guardRecord(o, o.currentPos, taken);
    if (status != statusOk) return status;
    const std::vector<std::string> norms = normsOf(f, c.data);
    std::vector<int64_t> seqs(norms.size(), 0);
    const int64_t pos = o.currentPos;
    status = writeAtomically(f, [&]() -> int16_t {
        FullRow old;
        int16_t s = readByPosition(f, pos, old);
        if (s != statusOk) return s == statusInvalidRecordAddress ? int16_t{statusInvalidPositioning} : s;
        // A duplicate key that gets a new value goes after the records that
        // already have it: it draws a new sequence number.
        int64_t drawn = 0;
        for (std::size_t k = 0; k < norms.size(); ++k) {
            seqs[k] = old.seqs[k];
            if (!f.specification.keys[k].duplicates || norms[k] == old.norms[k]) continue;
            if (drawn == 0) {
                int16_t d = drawNumber(f, drawn);
                if (d != statusOk) return d;
                f.drawnUnsaved = true;
            }
            seqs[k] = drawn;
        }
        sqlite3_stmt* st = f.update;
        sqlite3_bind_blob(st, 1, c.data, static_cast<int>(size), SQLITE_STATIC);
        bindKeys(f, st, norms);
        for (std::size_t k = 0; k < seqs.size(); ++k) sqlite3_bind_int64(st, 3 + 2 * static_cast<int>(k), seqs[k]);
        sqlite3_bind_int64(st, 2 + 2 * static_cast<int>(norms.size()), pos);
        int rc = sqlite3_step(st);
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        return rc == SQLITE_DONE ? int16_t{statusOk} : statusFromSqlite(rc);
    });
    if (taken) unlockByte(o.lockFd, pos);
    if (status != statusOk) return status;
    noteWrite(f);
    dropReadAhead(o);
    releaseRecordLock(o);
    int key = c.keyNumber;
    if (key < 0 || key >= static_cast<int>(norms.size())) key = o.currentKey;
    if (key >= 0) {
        o.currentKey = key;
        o.currentNorm = norms[key];
        o.currentSeq = seqs[key];
        returnKey(o, c, key);
    }
    return statusOk;
}

int16_t doDelete(OpenFile& o) {
    SharedFile& f = *o.file;
    if (o.currentPos == 0) return statusInvalidPositioning;
    const int64_t pos = o.currentPos;
    bool taken = false;
    int16_t status = guardRecord(o, pos, taken);
    if (status != statusOk) return status;
    status = writeAtomically(f, [&]() -> int16_t {
        sqlite3_bind_int64(f.remove, 1, pos);
        int rc = sqlite3_step(f.remove);
        sqlite3_reset(f.remove);
        if (rc != SQLITE_DONE) return statusFromSqlite(rc);
        if (sqlite3_changes(f.db) == 0) return statusInvalidPositioning;
        --f.countChange;
        return statusOk;
    });
    if (taken) unlockByte(o.lockFd, pos);
    if (status != statusOk) return status;
    noteWrite(f);
    dropReadAhead(o);
    releaseRecordLock(o);
    // The place in the index stays, so next and previous go on from there.
    o.currentPos = 0;
    return statusOk;
}

int16_t endTransaction(bool commit) {
    if (!rm.inTransaction) return statusNoTransaction;
    int16_t status = statusOk;
    std::vector<SharedFile*> finished;
    for (auto& f : rm.files) {
        if (!f->writing) continue;
        int rc = SQLITE_OK;
        if (commit && savePending(*f) != statusOk) rc = SQLITE_ERROR;
        forgetPending(*f);
        if (rc == SQLITE_OK) rc = exec(f->db, commit ? "COMMIT" : "ROLLBACK");
        if (rc != SQLITE_OK) {
            if (status == statusOk) status = statusFromSqlite(rc);
            exec(f->db, "ROLLBACK");
        }
        f->writing = false;
        ++f->localWrites;
        if (f->changes != nullptr) f->changes->fetch_add(1);
        if (f->opens == 0) finished.push_back(f.get());
    }
    rm.inTransaction = false;
    for (SharedFile* f : finished) closeShared(f);
    return status;
}

int16_t doReset() {
    if (rm.inTransaction) endTransaction(false);
    for (auto& p : rm.opens)
        if (p) closeOpen(p.get());
    rm.opens.clear();
    return statusOk;
}

}  // namespace

uint32_t openStamp(const uint8_t* positionBlock) {
    const OpenFile* o = findOpen(positionBlock);
    return o != nullptr ? o->generation : 0;
}

}  // namespace recman

int16_t btrcall(uint16_t operation, uint8_t* positionBlock, void* dataBuffer, uint32_t* dataLength,
                void* keyBuffer, uint8_t keyLength, int8_t keyNumber) {
    using namespace recman;
    const int op = operation % 100;
    const int bias = operation / 100;
    const uint32_t offered = dataLength != nullptr && dataBuffer != nullptr ? *dataLength : 0;
    Call c{static_cast<uint8_t*>(dataBuffer), offered, dataLength, static_cast<uint8_t*>(keyBuffer), keyLength,
           keyNumber};
    // Lock biases go with reads. Get position and begin transaction take them
    // too and ignore them: the data layer adds the bias to those codes as well.
    const bool takesBias = (op >= opGetEqual && op <= opGetLast) || op == opGetDirect || op == opGetPosition ||
                           op == opBeginTransaction;
    if (bias > 4 || (bias != 0 && !takesBias)) return statusInvalidOperation;

    switch (op) {
    case opCreate: return doCreate(c);
    case opReset: return doReset();
    case opBeginTransaction:
        if (rm.inTransaction) return statusTransactionActive;
        rm.inTransaction = true;
        return statusOk;
    case opEndTransaction: return endTransaction(true);
    case opAbortTransaction: return endTransaction(false);
    case opOpen:
        if (positionBlock == nullptr) return statusFileNotOpen;
        return doOpen(positionBlock, c);
    default: break;
    }

    OpenFile* o = findOpen(positionBlock);
    if (o == nullptr) return statusFileNotOpen;
    int16_t status;
    switch (op) {
    case opClose:
        closeOpen(o);
        return statusOk;
    case opStat: return doStat(*o, c);
    case opInsert: return doInsert(*o, c);
    case opUpdate: return doUpdate(*o, c);
    case opDelete: return doDelete(*o);
    case opGetPosition: return doGetPosition(*o, c);
    case opGetDirect: status = doGetDirect(*o, c, bias); break;
    case opUnlock:
        releaseRecordLock(*o);
        return statusOk;
    case opGetEqual: case opGetNext: case opGetPrevious: case opGetGreater: case opGetGreaterOrEqual:
    case opGetLess: case opGetLessOrEqual: case opGetFirst: case opGetLast:
        status = doRead(*o, c, op, bias);
        break;
    default: return statusInvalidOperation;
    }
    // A read that failed returns no record.
    if (status != statusOk && status != statusDataBufferTooShort) {
        if (dataLength != nullptr) *dataLength = 0;
    }
    return status;
}
