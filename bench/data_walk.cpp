// A full walk of a receipts file of 1,000,000 records along key 0, as the report
// walks it (readAtKey once, then readNext), against the floor of the storage: one
// SQLite statement stepping the same index over the same file.
//
// The file is built once in $TMPDIR/zel-bench-data and reused by later runs.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "data/data_build.h"
#include "data/data_files.h"
#include "data/record_layouts.h"
#include "data/record_reads.h"
#include "driver/session_settings.h"
#include "platform/os/os.h"
#include "platform/recman/btrcall.h"

namespace {

constexpr long long receiptCount = 1000000;
// 500 properties x 20 units x 100 monthly receipts.
constexpr int properties = 500, unitsPerProperty = 20, months = 100;

std::string benchFolder() {
    std::string base = os::getEnv("TMPDIR");
    if (base.empty()) base = "/tmp";
    return base + "/zel-bench-data/";
}

long long recordsIn(const std::string& path) {
    sqlite3* db = nullptr;
    long long n = -1;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT records FROM zel_file", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return n;
}

// The receipts file, built when missing or incomplete.
std::string receiptsPath() {
    static std::string path;
    if (!path.empty()) return path;
    const std::string folder = benchFolder();
    os::makeDirectories(folder);
    path = folder + "CobramV.dat";
    if (recordsIn(path) == receiptCount) return path;
    std::remove(path.c_str());
    std::remove((path + "-wal").c_str());
    std::remove((path + "-shm").c_str());
    std::remove((path + ".lck").c_str());
    if (createDataFile(path, encodeSpecification(suiteFileSpec(receiptsFile))) != 0) {
        std::fprintf(stderr, "cannot create %s\n", path.c_str());
        std::exit(1);
    }
    std::fprintf(stderr, "building %s (%lld receipts)...\n", path.c_str(), receiptCount);
    DataFileLoad load;
    int16_t status = beginDataFileLoad(load, path);
    for (int p = 1; p <= properties && status == 0; ++p)
        for (int u = 1; u <= unitsPerProperty && status == 0; ++u)
            for (int m = 0; m < months && status == 0; ++m) {
                ReceiptFields r;
                r.propertyCode = p;
                r.unitCode = u;
                r.issueDate = (2016 + m / 12) * 10000L + (m % 12 + 1) * 100 + 1;
                r.number = 1;
                r.collectionDate = m % 7 ? r.issueDate + 9 : 0;
                r.amount = 45000 + p * 10 + u;
                r.state = m % 7 ? 'C' : 'P';
                status = loadDataRecord(load, receiptRecord(r));
            }
    if (status != 0 || endDataFileLoad(load, true) != 0) {
        std::fprintf(stderr, "cannot fill %s (status %d)\n", path.c_str(), status);
        std::exit(1);
    }
    return path;
}

void BM_WalkThroughDataLayer(benchmark::State& state) {
    const std::string path = receiptsPath();
    sessionSettings.rootDir = benchFolder();
    int16_t status = 0;
    openDataFile(receiptsFile, path, recordBuffers.receipt, sizeof recordBuffers.receipt, status);
    if (status != 0) {
        state.SkipWithError("open failed");
        return;
    }
    long long walked = 0;
    int64_t amounts = 0;
    for (auto _ : state) {
        walked = 0;
        readAtKey(receiptsFile, 0, "", 1, status);
        while (status == 0) {
            ++walked;
            amounts += receiptAmount();
            readNext(receiptsFile, 1, status);
        }
    }
    benchmark::DoNotOptimize(amounts);
    if (walked != receiptCount) state.SkipWithError("walk did not see every record");
    state.SetItemsProcessed(state.iterations() * walked);
    closeAllDataFiles(status);
}

void BM_WalkSqliteFloor(benchmark::State& state) {
    const std::string path = receiptsPath();
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        state.SkipWithError("sqlite open failed");
        return;
    }
    sqlite3_stmt* st = nullptr;
    // Key 0's index is key0 on (k0, s0); the record bytes are in data.
    sqlite3_prepare_v2(db, "SELECT data FROM records INDEXED BY key0 ORDER BY k0, s0", -1, &st, nullptr);
    uint8_t record[52];
    long long walked = 0;
    int64_t amounts = 0;
    for (auto _ : state) {
        walked = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            const void* blob = sqlite3_column_blob(st, 0);
            int n = sqlite3_column_bytes(st, 0);
            std::memcpy(record, blob, n < 52 ? n : 52);
            int32_t amount;
            std::memcpy(&amount, record + 13, 4);
            amounts += amount;
            ++walked;
        }
        sqlite3_reset(st);
    }
    benchmark::DoNotOptimize(amounts);
    if (walked != receiptCount) state.SkipWithError("walk did not see every record");
    state.SetItemsProcessed(state.iterations() * walked);
    sqlite3_finalize(st);
    sqlite3_close(db);
}

}  // namespace

BENCHMARK(BM_WalkThroughDataLayer)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_WalkSqliteFloor)->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCHMARK_MAIN();
