#include "platform/recman/file_specification.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/recman/btrcall.h"
#include "platform/recman/recman_test_support.h"

using namespace recman;
using recmantest::makeSpecification;

namespace {

std::string normalize(const std::string& block, int key, const std::string& value) {
    FileSpecification specification;
    EXPECT_EQ(parseSpecification(reinterpret_cast<const uint8_t*>(block.data()), block.size(), specification), 0);
    return normalizeKey(specification, specification.keys[key], reinterpret_cast<const uint8_t*>(value.data()), value.size());
}

std::string identityAcs() {
    std::string t(256, '\0');
    for (int i = 0; i < 256; ++i) t[i] = static_cast<char>(i);
    return t;
}

}  // namespace

TEST(FileSpec, KeysAreRunsOfSegments) {
    const std::string block = makeSpecification(40, {{{1, 4, 0x0004}}, {{5, 10, 0x0001}, {15, 2, 0x0004}}, {{20, 3, 0}}});
    FileSpecification specification;
    ASSERT_EQ(parseSpecification(reinterpret_cast<const uint8_t*>(block.data()), block.size(), specification), 0);
    EXPECT_EQ(specification.recordLength, 40);
    ASSERT_EQ(specification.keys.size(), 3u);
    EXPECT_EQ(specification.keys[0].length, 4);
    EXPECT_FALSE(specification.keys[0].duplicates);
    EXPECT_EQ(specification.keys[1].length, 12);
    EXPECT_TRUE(specification.keys[1].duplicates);
    ASSERT_EQ(specification.keys[1].segments.size(), 2u);
    EXPECT_EQ(specification.keys[1].segments[1].offset, 14);
    EXPECT_EQ(specification.keys[2].length, 3);
    EXPECT_FALSE(specification.hasAlternate);
    EXPECT_EQ(specification.block, block);
}

TEST(FileSpec, BlockKeptUpToTheEndOfTheCollatingSequence) {
    std::string block = makeSpecification(10, {{{1, 4, 0x0020}}}, 0, identityAcs());
    block[6] = 9;  // a record count offered to create is not kept
    const std::string offered = block + std::string(100, ' ');
    FileSpecification specification;
    ASSERT_EQ(parseSpecification(reinterpret_cast<const uint8_t*>(offered.data()), offered.size(), specification), 0);
    EXPECT_TRUE(specification.hasAlternate);
    ASSERT_EQ(specification.block.size(), 16u + 16 + 265);
    EXPECT_EQ(specification.block[6], 0);
    EXPECT_EQ(specification.block.substr(32), block.substr(32));

    // No segment uses it: kept when it is there, padding is not.
    const std::string unused = makeSpecification(10, {{{1, 4, 0}}}, 0, identityAcs());
    ASSERT_EQ(parseSpecification(reinterpret_cast<const uint8_t*>(unused.data()), unused.size(), specification), 0);
    EXPECT_EQ(specification.block, unused);
    const std::string padded = makeSpecification(10, {{{1, 4, 0}}}) + std::string(1000, ' ');
    ASSERT_EQ(parseSpecification(reinterpret_cast<const uint8_t*>(padded.data()), padded.size(), specification), 0);
    EXPECT_EQ(specification.block.size(), 32u);
    EXPECT_FALSE(specification.hasAlternate);
}

TEST(FileSpec, BadSpecificationsAreRefused) {
    const std::string good = makeSpecification(20, {{{1, 4, 0}}});
    std::string zeroRecord = good;
    recmantest::put16(zeroRecord, 0, 0);
    std::string tooManyKeys = good;
    recmantest::put16(tooManyKeys, 4, 500);
    struct Case {
        const char* what;
        std::string block;
        int16_t status;
    } cases[] = {
        {"shorter than the header", good.substr(0, 10), statusInvalidRecordLength},
        {"record length 0", zeroRecord, statusInvalidRecordLength},
        {"absurd number of keys", tooManyKeys, statusInvalidKeyCount},
        {"descriptors cut off", good.substr(0, 24), statusInvalidKeyCount},
        {"more keys than descriptors", makeSpecification(20, {{{1, 4, 0}}}).substr(0, 16) + makeSpecification(20, {{{1, 4, 0x10}}}).substr(16),
         statusInvalidKeyCount},
        {"segment past the record", makeSpecification(20, {{{18, 4, 0}}}), statusInvalidKeyPosition},
        {"segment at position 0", makeSpecification(20, {{{0, 4, 0}}}), statusInvalidKeyPosition},
        {"segment of length 0", makeSpecification(20, {{{1, 0, 0}}}), statusInvalidKeyLength},
        {"key longer than 255", makeSpecification(600, {{{1, 200, 0}, {201, 200, 0}}}), statusInvalidKeyLength},
        {"collated segment without a sequence", makeSpecification(20, {{{1, 4, 0x0020}}}), statusInvalidAcs},
        {"spaces only (no dictionary)", std::string(1536, ' '), statusInvalidKeyCount},
    };
    for (const Case& c : cases) {
        FileSpecification specification;
        EXPECT_EQ(parseSpecification(reinterpret_cast<const uint8_t*>(c.block.data()), c.block.size(), specification), c.status)
            << c.what;
    }
    FileSpecification specification;
    EXPECT_EQ(parseSpecification(nullptr, 100, specification), statusInvalidRecordLength);
}

TEST(FileSpec, RandomBlocksNeverCrash) {
    std::mt19937 rng(7);
    for (int i = 0; i < 3000; ++i) {
        std::string block(rng() % 400, '\0');
        for (char& ch : block) ch = static_cast<char>(rng());
        if (block.size() >= 6 && i % 2 == 0) {  // plausible key counts reach the descriptors
            block[4] = static_cast<char>(rng() % 8);
            block[5] = 0;
        }
        FileSpecification specification;
        if (parseSpecification(reinterpret_cast<const uint8_t*>(block.data()), block.size(), specification) != 0) continue;
        for (const KeyDefinition& k : specification.keys) {
            std::string record(specification.recordLength, 'x');
            const std::string raw = extractKey(k, reinterpret_cast<const uint8_t*>(record.data()));
            EXPECT_EQ(raw.size(), k.length);
            EXPECT_EQ(normalizeKey(specification, k, nullptr, 0).size(), k.length);
        }
    }
}

TEST(FileSpec, NormalisedFormsCompareInIndexOrder) {
    std::string reversed(256, '\0');
    for (int i = 0; i < 256; ++i) reversed[i] = static_cast<char>(255 - i);
    const std::string block =
        makeSpecification(20, {{{1, 2, 0x0004}}, {{3, 2, 0x0020}}, {{5, 2, 0x0040}}, {{7, 2, 0x0400}}, {{9, 2, 0x0044}}}, 0,
                 reversed);
    // Binary: little-endian numbers; a short value is extended with zero bytes first.
    EXPECT_EQ(normalize(block, 0, std::string("\x01\x02", 2)), std::string("\x02\x01", 2));
    EXPECT_EQ(normalize(block, 0, std::string("\x01", 1)), std::string("\x00\x01", 2));
    EXPECT_LT(normalize(block, 0, std::string("\xFF\x00", 2)), normalize(block, 0, std::string("\x00\x01", 2)));
    // Collated through the table.
    EXPECT_EQ(normalize(block, 1, "AB"), std::string("\xBE\xBD", 2));
    // Descending: inverted.
    EXPECT_EQ(normalize(block, 2, "AB"), std::string("\xBE\xBD", 2));
    // Case-blind.
    EXPECT_EQ(normalize(block, 3, "aZ"), "AZ");
    // Binary and descending: reversed, then inverted.
    EXPECT_EQ(normalize(block, 4, std::string("\x01\x00", 2)), std::string("\xFF\xFE", 2));
}
