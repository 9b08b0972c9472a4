// Shared by the data layer's tests: a fresh root folder, a clean table of open data
// files, a memory console, and a small file of five records with four keys.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/windows.h"
#include "data/data_build.h"
#include "data/data_files.h"
#include "driver/session_settings.h"
#include "platform/term/console.h"
#include "tests/support/test_support.h"

namespace datatest {

// 20-byte records: code (1..4, text), name (5..14, folded), a 16-bit little-endian
// number (15..16), filler.
//   key 0  code, unique
//   key 1  name through the collating sequence, duplicates
//   key 2  number, binary, duplicates
//   key 3  number (binary) + name (folded), duplicates
inline DataFileSpec smallSpec() {
    DataFileSpec spec;
    spec.recordLength = 20;
    spec.pageSize = 512;
    spec.keys = {{{1, 4, 0}},
                 {{5, 10, keyflag::collating | keyflag::duplicates}},
                 {{15, 2, keyflag::binary | keyflag::duplicates}},
                 {{15, 2, keyflag::binary | keyflag::duplicates}, {5, 10, keyflag::collating | keyflag::duplicates}}};
    spec.hasCollatingSequence = true;
    spec.collatingName = "TESTFOLD";
    spec.collatingTable = foldingCollatingTable();
    return spec;
}

inline std::string smallRecord(std::string_view code, std::string_view name, uint16_t number) {
    std::string r(20, '.');
    r.replace(0, 4, std::string(code).append(4, ' ').substr(0, 4));
    r.replace(4, 10, std::string(name).append(10, ' ').substr(0, 10));
    r[14] = static_cast<char>(number & 0xFF);
    r[15] = static_cast<char>(number >> 8);
    return r;
}

// Codes A001..A005 in key 0 order.
inline std::vector<std::string> smallRecords() {
    return {smallRecord("A001", "delta", 300), smallRecord("A002", "Alfa", 2), smallRecord("A003", "bravo", 256),
            smallRecord("A004", "\x85GATA", 1),  // àGATA
            smallRecord("A005", "charlie", 2)};
}

class DataFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dataFileTable = DataFileTable{};
        sessionSettings = SessionSettings{};
        sessionSettings.rootDir = root.path();
        sessionSettings.tempDir = root.path();
        sessionSettings.languageCode = "CAT";
        windowState = WindowState{};
        term::openMemory(80, 25);
    }
    void TearDown() override {
        int16_t status = 0;
        closeAllDataFiles(status);
        dataFileTable = DataFileTable{};
        term::close();
    }
    // Builds root + name from the small spec and records.
    std::string buildSmallFile(const std::string& name = "SMALL.dat") {
        const std::string path = root / name;
        EXPECT_EQ(buildDataFile(path, encodeSpecification(smallSpec()), smallRecords()), 0);
        return path;
    }
    int16_t slotNumberOf(int16_t fileNumber) {
        int16_t s = findFileSlot(fileNumber);
        return s > 0 ? s : 0;
    }
    FileSlot& slotOf(int16_t fileNumber) { return dataFileTable.slots[slotNumberOf(fileNumber)]; }

    testsupport::TempDir root;
};

}  // namespace datatest
