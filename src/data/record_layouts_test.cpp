#include "data/record_layouts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "data/data_test_fixture.h"
#include "data/record_reads.h"

namespace {

class RecordLayouts : public datatest::DataFileTest {
protected:
    void SetUp() override {
        DataFileTest::SetUp();
        std::memset(&recordBuffers, 0, sizeof recordBuffers);
        ASSERT_TRUE(writeSuiteDictionaries(root.path()));
        std::filesystem::create_directories(root / "DADES");
    }
    void open(int16_t fileNumber, uint8_t* buffer, std::size_t capacity) {
        int16_t status = -1;
        openDataFile(fileNumber, root.path() + "DADES\\" + suiteFileBaseName(fileNumber), buffer, capacity, status);
        ASSERT_EQ(status, 0);
    }
    void openAll() {
        open(ownersFile, recordBuffers.owner, sizeof recordBuffers.owner);
        open(propertiesFile, recordBuffers.property, sizeof recordBuffers.property);
        open(unitsFile, recordBuffers.unit, sizeof recordBuffers.unit);
        open(receiptsFile, recordBuffers.receipt, sizeof recordBuffers.receipt);
    }
};

TEST_F(RecordLayouts, FieldsOfTheFourRecords) {
    ASSERT_EQ(buildSuiteDataFile(root.path(), ownersFile, {ownerRecord(42, "FERRER I PONS, MARIA")}), 0);
    ASSERT_EQ(buildSuiteDataFile(root.path(), propertiesFile, {propertyRecord(7, 42, "EDIFICI MAR BLAVA", 'P')}), 0);
    ASSERT_EQ(buildSuiteDataFile(root.path(), unitsFile, {unitRecord(7, 103, "JOAN ROCA", "1r 2a")}), 0);
    ReceiptFields r;
    r.propertyCode = 7;
    r.unitCode = 103;
    r.issueDate = 20240105;
    r.number = 9;
    r.collectionDate = 0;
    r.amount = -12345;
    r.state = 'D';
    r.kind = 'P';
    ASSERT_EQ(buildSuiteDataFile(root.path(), receiptsFile, {receiptRecord(r)}), 0);
    openAll();

    int16_t status = -1;
    readAtKey(propertiesFile, 0, compactNumber(7, 2), 1, status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(propertyCode(), "\x80\x87");  // 128, 135
    EXPECT_EQ(propertyOwnerCode(), compactNumber(42, 2));
    EXPECT_EQ(propertyName(), "EDIFICI MAR BLAVA             ");
    EXPECT_EQ(propertyOwnershipMark(), 'P');

    readAtKey(ownersFile, 0, propertyOwnerCode(), 0, status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(ownerCode(), compactNumber(42, 2));
    EXPECT_EQ(ownerName(), "FERRER I PONS, MARIA          ");
    clearOwnerName();
    EXPECT_EQ(ownerName(), std::string(30, ' '));
    EXPECT_EQ(ownerCode(), compactNumber(42, 2));

    readAtKey(unitsFile, 0, propertyCode(), 1, status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(unitKey(), compactNumber(7, 2) + compactNumber(103, 2));
    EXPECT_EQ(unitHolderName(), "JOAN ROCA                     ");
    EXPECT_EQ(unitDesignation(), "1r 2a     ");

    readAtKey(receiptsFile, 0, unitKey() + compactNumber(20240101, 4), 1, status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(receiptUnitKey(), unitKey());
    EXPECT_EQ(receiptIssueDate(), compactNumber(20240105, 4));
    EXPECT_EQ(receiptNumber(), "\x89");
    EXPECT_EQ(receiptCollectionDate(), std::string(4, '\x80'));  // the empty date
    EXPECT_EQ(receiptAmount(), -12345);
    EXPECT_EQ(receiptCollectionState(), 'D');
    EXPECT_EQ(receiptKind(), 'P');
}

// The walk of the report over receipts: key 0 from unit key + first date, while
// unit key + issue date is not past unit key + last date.
TEST_F(RecordLayouts, ReceiptsOfAUnitBetweenTwoDatesFollowKeyZero) {
    std::vector<std::string> receipts;
    auto add = [&](int property, int unit, long date, int number) {
        ReceiptFields r;
        r.propertyCode = property;
        r.unitCode = unit;
        r.issueDate = date;
        r.number = number;
        r.amount = number * 100;
        receipts.push_back(receiptRecord(r));
    };
    // Inserted out of order on purpose; two receipts share unit and date.
    add(7, 2, 20240301, 1);
    add(7, 1, 20240201, 2);
    add(7, 1, 20240201, 1);
    add(7, 1, 20231231, 1);
    add(7, 1, 20240301, 1);
    add(7, 1, 20240401, 1);
    add(6, 1, 20240215, 1);
    ASSERT_EQ(buildSuiteDataFile(root.path(), receiptsFile, receipts), 0);
    open(receiptsFile, recordBuffers.receipt, sizeof recordBuffers.receipt);

    const std::string unit = compactNumber(7, 2) + compactNumber(1, 2);
    const std::string last = unit + compactNumber(20240331, 4);
    std::vector<std::pair<std::string, int>> seen;
    int16_t status = -1;
    readAtKey(receiptsFile, 0, unit + compactNumber(20240101, 4), 1, status);
    while (status == 0 && receiptUnitKey() + receiptIssueDate() <= last) {
        seen.push_back({receiptIssueDate(), receiptAmount()});
        readNext(receiptsFile, 1, status);
    }
    const std::vector<std::pair<std::string, int>> expected = {
        {compactNumber(20240201, 4), 100}, {compactNumber(20240201, 4), 200}, {compactNumber(20240301, 4), 100}};
    EXPECT_EQ(seen, expected);
}

TEST_F(RecordLayouts, DuplicateReceiptIsRefused) {
    ReceiptFields r;
    r.propertyCode = 1;
    r.unitCode = 1;
    r.issueDate = 20240101;
    r.number = 1;
    EXPECT_EQ(buildSuiteDataFile(root.path(), receiptsFile, {receiptRecord(r), receiptRecord(r)}), 5);
}

TEST_F(RecordLayouts, OwnerNamesFoldCaseAndAccents) {
    ASSERT_EQ(buildSuiteDataFile(root.path(), ownersFile,
                                 {ownerRecord(1, "\x90RIC VIDAL"),  // ÉRIC VIDAL
                                  ownerRecord(2, "eric aguilar"), ownerRecord(3, "ANNA MAS")}),
              0);
    open(ownersFile, recordBuffers.owner, sizeof recordBuffers.owner);
    int16_t status = -1;
    readAtKey(ownersFile, 1, "", 1, status);
    std::vector<std::string> codes;
    while (status == 0) {
        codes.push_back(ownerCode());
        readNext(ownersFile, 1, status);
    }
    EXPECT_EQ(codes, (std::vector<std::string>{compactNumber(3, 2), compactNumber(2, 2), compactNumber(1, 2)}));
}

}  // namespace
