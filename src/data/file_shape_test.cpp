// Key lengths and collating are kept per open file: they must follow the file
// that is open in a slot now, never one that was open there before.
#include <gtest/gtest.h>

#include <cstring>

#include "data/data_internal.h"
#include "data/data_test_fixture.h"
#include "data/record_reads.h"
#include "platform/recman/btrcall.h"

namespace {

constexpr int16_t fileNumber = 5;

// 30-byte records, key 0 a 7-byte code, key 1 a plain 10-byte name.
DataFileSpec otherSpec() {
    DataFileSpec spec;
    spec.recordLength = 30;
    spec.pageSize = 1024;
    spec.keys = {{{1, 7, 0}}, {{8, 10, keyflag::duplicates}}};
    return spec;
}

class FileShapes : public datatest::DataFileTest {
protected:
    void open(const std::string& name) {
        int16_t status = -1;
        openDataFile(fileNumber, root / name, buffer, sizeof buffer, status);
        ASSERT_EQ(status, 0);
    }
    void lengths(int16_t key, int16_t expectedKey, int16_t expectedRecord) {
        int16_t keyLength = -1, recordLength = -1;
        queryKeyLength(fileNumber, key, keyLength, recordLength);
        EXPECT_EQ(keyLength, expectedKey) << key;
        EXPECT_EQ(recordLength, expectedRecord) << key;
    }
    uint8_t buffer[40] = {};
};

TEST_F(FileShapes, AnotherFileInTheSameSlotBringsItsOwnKeys) {
    buildSmallFile();
    ASSERT_EQ(buildDataFile(root / "OTHER.dat", encodeSpecification(otherSpec()),
                            {std::string("CODE001") + "alfa      " + std::string(13, '.')}),
              0);
    open("SMALL");
    const int16_t slot = slotNumberOf(fileNumber);
    lengths(0, 4, 20);
    lengths(3, 12, 20);
    int16_t status = -1;
    readAtKey(fileNumber, 1, "", 1, status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(collateKey("\x85gata", fileNumber), "AGATA");  // àgata through the collating sequence

    closeAllDataFiles(status);
    ASSERT_EQ(status, 0);
    open("OTHER");
    ASSERT_EQ(slotNumberOf(fileNumber), slot);
    lengths(0, 7, 30);
    lengths(1, 10, 30);
    lengths(3, 0, 30);
    readAtKey(fileNumber, 1, "", 1, status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(collateKey("\x85gata", fileNumber), "\x85gata");  // a plain key: as it is
    readAtKey(fileNumber, 0, "CODE001", 0, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer), 7), "CODE001");

    // A table cleared without closing, then the small file again in that slot.
    closeAllDataFiles(status);
    dataFileTable = DataFileTable{};
    open("SMALL");
    ASSERT_EQ(slotNumberOf(fileNumber), slot);
    lengths(0, 4, 20);
}

TEST_F(FileShapes, ARecordManagerResetLeavesNoKeyBehind) {
    buildSmallFile();
    open("SMALL");
    lengths(0, 4, 20);
    // Everything closed behind the data layer's back: the slot still says open,
    // but the file has no keys to offer any more.
    uint8_t block[128];
    std::memset(block, ' ', sizeof block);
    uint32_t length = 0;
    ASSERT_EQ(btrcall(recman::opReset, block, nullptr, &length, nullptr, 0, 0), 0);
    int16_t keyLength = -1, recordLength = -1;
    queryKeyLength(fileNumber, 0, keyLength, recordLength);
    EXPECT_EQ(keyLength, 0);
    int16_t status = -1;
    readAtKey(fileNumber, 0, "A001", 0, status);
    EXPECT_EQ(status, 1004);
}

}  // namespace
