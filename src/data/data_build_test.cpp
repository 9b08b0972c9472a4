#include "data/data_build.h"

#include <gtest/gtest.h>

#include "data/data_test_fixture.h"
#include "data/record_layouts.h"
#include "data/record_reads.h"
#include "platform/os/os.h"

namespace {

using datatest::smallRecord;

TEST(DataBuild, SpecificationRoundTrip) {
    const DataFileSpec spec = datatest::smallSpec();
    const std::string bytes = encodeSpecification(spec);
    ASSERT_EQ(bytes.size(), 16u + 5 * 16 + 1 + 8 + 256);
    EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 20);
    EXPECT_EQ(static_cast<uint8_t>(bytes[4]), 4);
    // Every segment but the last of a key carries "more segments follow".
    EXPECT_EQ(static_cast<uint8_t>(bytes[16 + 3 * 16 + 4]), keyflag::binary | keyflag::duplicates | keyflag::segmented);
    EXPECT_EQ(static_cast<uint8_t>(bytes[16 + 4 * 16 + 4]), keyflag::collating | keyflag::duplicates);
    EXPECT_EQ(static_cast<uint8_t>(bytes[16 + 5 * 16]), collatingSequenceId);

    DataFileSpec back;
    ASSERT_TRUE(decodeSpecification(bytes, back));
    EXPECT_EQ(back.recordLength, 20);
    EXPECT_EQ(back.pageSize, 512);
    ASSERT_EQ(back.keys.size(), 4u);
    EXPECT_EQ(back.keys[3].size(), 2u);
    EXPECT_EQ(back.keys[3][1].position, 5);
    EXPECT_TRUE(back.hasCollatingSequence);
    EXPECT_EQ(back.collatingName, "TESTFOLD");
    EXPECT_EQ(back.collatingTable, spec.collatingTable);

    EXPECT_FALSE(decodeSpecification(bytes.substr(0, 40), back));  // descriptors cut off
    const std::string dictionary = encodeDictionary(spec);
    EXPECT_EQ(static_cast<uint8_t>(dictionary[0]) | (static_cast<uint8_t>(dictionary[1]) << 8), bytes.size());
    EXPECT_EQ(dictionary.substr(2), bytes);
}

TEST(DataBuild, CompactNumbersAndRecords) {
    EXPECT_EQ(compactNumber(7, 2), "\x80\x87");
    EXPECT_EQ(compactNumber(1234, 2), "\x8C\xA2");
    EXPECT_EQ(compactNumber(20240105, 4), "\x94\x98\x81\x85");
    EXPECT_EQ(compactNumber(0, 4), std::string(4, '\x80'));
    EXPECT_EQ(ownerRecord(1, "A").size(), sizeof recordBuffers.owner);
    EXPECT_EQ(propertyRecord(1, 2, "B").size(), sizeof recordBuffers.property);
    EXPECT_EQ(unitRecord(1, 2, "C", "D").size(), sizeof recordBuffers.unit);
    EXPECT_EQ(receiptRecord({}).size(), sizeof recordBuffers.receipt);
    EXPECT_EQ(propertyRecord(1, 2, "A NAME LONGER THAN THIRTY CHARACTERS").substr(8, 30),
              "A NAME LONGER THAN THIRTY CHAR");
}

TEST(DataBuild, FoldingTable) {
    const auto t = foldingCollatingTable();
    EXPECT_EQ(t['a'], 'A');
    EXPECT_EQ(t['Z'], 'Z');
    EXPECT_EQ(t['1'], '1');
    EXPECT_EQ(t[0x87], 'C');  // ç
    EXPECT_EQ(t[0xA4], 'N');  // ñ
    EXPECT_EQ(t[0x90], 'E');  // É
    EXPECT_EQ(t[0xD4], 'E');  // È
    EXPECT_EQ(t[0xE3], 'O');  // Ò
    EXPECT_EQ(t[0xFA], 0xFA);  // the middle dot stays
}

// The repository: ZEL_SOURCE_DIR when it is set, else found from this file's path.
std::string repositoryRoot() {
    const std::string dir = testsupport::sourceDir();
    if (testsupport::fileExists(dir + "/runtime/ddf")) return dir;
    const std::string here = __FILE__;
    return here.substr(0, here.rfind("/src/data/"));
}

// runtime/ddf holds the dictionaries of the four files as this code defines them.
// ZEL_WRITE_DICTIONARIES=1 data_tests --gtest_filter=SuiteDictionaries.* rewrites them.
TEST(SuiteDictionaries, CommittedFilesMatchTheirDefinition) {
    const std::string root = repositoryRoot() + "/runtime/";
    if (os::getEnv("ZEL_WRITE_DICTIONARIES") == "1") {
        ASSERT_TRUE(writeSuiteDictionaries(root));
    }
    for (int16_t n : {ownersFile, propertiesFile, unitsFile, receiptsFile}) {
        const std::string name = root + "ddf/" + suiteFileBaseName(n) + ".xdf";
        ASSERT_TRUE(testsupport::fileExists(name)) << name;
        EXPECT_EQ(testsupport::readFile(name), encodeDictionary(suiteFileSpec(n))) << name;
        std::string spec;
        ASSERT_TRUE(readDictionary(name, spec));
        DataFileSpec decoded;
        ASSERT_TRUE(decodeSpecification(spec, decoded));
        EXPECT_EQ(decoded.keys[0].size(), n == receiptsFile ? 3u : 1u);
        EXPECT_FALSE(decoded.keys[0][0].flags & keyflag::duplicates);
    }
    EXPECT_EQ(suiteFileSpec(ownersFile).recordLength, 324);
    EXPECT_EQ(suiteFileSpec(propertiesFile).recordLength, 204);
    EXPECT_EQ(suiteFileSpec(unitsFile).recordLength, 448);
    EXPECT_EQ(suiteFileSpec(receiptsFile).recordLength, 52);
    EXPECT_EQ(suiteFileBaseName(508), "");
}

class DataBuildFiles : public datatest::DataFileTest {};

TEST_F(DataBuildFiles, InsertIsAllOrNothing) {
    const std::string path = buildSmallFile();
    std::size_t failed = 99;
    // The third record repeats a unique key: nothing of the batch stays.
    EXPECT_EQ(insertRecords(path, {smallRecord("B001", "x", 1), smallRecord("B002", "y", 2), smallRecord("A003", "z", 3)},
                            &failed),
              5);
    EXPECT_EQ(failed, 2u);
    EXPECT_EQ(insertRecords(path, {smallRecord("B001", "x", 1), "short"}, &failed), 28);
    EXPECT_EQ(failed, 1u);

    uint8_t buffer[20];
    int16_t status = -1;
    openDataFile(1, path, buffer, sizeof buffer, status);
    ASSERT_EQ(status, 0);
    readAtKey(1, 0, "B", 1, status);
    EXPECT_EQ(status, 9);

    EXPECT_EQ(createDataFile(path, encodeSpecification(datatest::smallSpec())), 59);  // not replaced
    readAtKey(1, 0, "A005", 0, status);
    EXPECT_EQ(status, 0);
}

TEST_F(DataBuildFiles, ReadDictionaryRefusesShortFiles) {
    const std::string good = encodeDictionary(datatest::smallSpec());
    testsupport::writeFile(root / "good.xdf", good);
    testsupport::writeFile(root / "short.xdf", good.substr(0, good.size() - 1));
    testsupport::writeFile(root / "tiny.xdf", "\x05");
    std::string spec;
    EXPECT_TRUE(readDictionary(root / "good.xdf", spec));
    EXPECT_EQ(spec, good.substr(2));
    EXPECT_FALSE(readDictionary(root / "short.xdf", spec));
    EXPECT_FALSE(readDictionary(root / "tiny.xdf", spec));
    EXPECT_FALSE(readDictionary(root / "missing.xdf", spec));
    EXPECT_FALSE(testsupport::fileExists(root / "missing.xdf"));
}

}  // namespace
