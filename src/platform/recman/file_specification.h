// The file specification block of a data file: what create receives, what stat
// hands back, and the key definitions the engine derives from it.
//
// Layout (all integers little-endian):
//   0  2  record length (fixed part)
//   2  2  page size (kept, not used by this engine)
//   4  2  number of keys
//   6  4  number of records (filled in by stat; ignored at create)
//  10  2  file flags (0x0001 = variable-length records)
//  12  4  not used here
//  16 16  key segment descriptors, all segments of all keys in key order:
//            0 2 position in the record, 1-based
//            2 2 length in bytes
//            4 2 flags (see below)
//            6 10 not used here
//   ..    alternate collating sequence right after the last descriptor:
//            one identifying byte, an 8-byte name, a 256-byte translation table.
//
// A key is a run of descriptors ending with the first one whose 0x0010 flag is
// clear; its length is the sum of its segment lengths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace recman {

constexpr uint16_t segmentDuplicates = 0x0001;
constexpr uint16_t segmentModifiable = 0x0002;
constexpr uint16_t segmentBinary = 0x0004;
constexpr uint16_t segmentNull = 0x0008;
constexpr uint16_t segmentContinues = 0x0010;
constexpr uint16_t segmentAlternate = 0x0020;
constexpr uint16_t segmentDescending = 0x0040;
constexpr uint16_t segmentNoCase = 0x0400;

constexpr uint16_t fileVariableLength = 0x0001;

constexpr std::size_t specificationHeaderSize = 16;
constexpr std::size_t segmentSize = 16;
constexpr std::size_t acsSize = 1 + 8 + 256;
constexpr std::size_t recordCountOffset = 6;

// Limits of this engine. Keys longer than 255 bytes cannot travel in the key
// buffer; a fixed part above 65535 cannot be written in the two-byte field.
constexpr int maxKeys = 119;
constexpr int maxSegments = 255;
constexpr int maxKeyLength = 255;

struct KeySegment {
    uint16_t offset = 0;  // 0-based offset in the record
    uint16_t length = 0;
    uint16_t flags = 0;
};

// Invariant: every segment lies inside the fixed part of the record, length >= 1,
// and length <= maxKeyLength.
struct KeyDefinition {
    std::vector<KeySegment> segments;
    uint16_t length = 0;      // sum of the segment lengths
    bool duplicates = false;  // flag 0x0001 on the first segment
};

// A parsed and checked specification. block holds the bytes as received, from
// offset 0 up to the end of the collating sequence when there is one (a segment
// uses it, or its identifying byte is neither blank nor zero), otherwise up to
// the end of the last descriptor; the record count in it is zero.
struct FileSpecification {
    uint16_t recordLength = 0;
    uint16_t fileFlags = 0;
    std::vector<KeyDefinition> keys;
    bool hasAlternate = false;
    uint8_t alternate[256] = {};
    std::string block;
};

// Checks a specification offered to create (or read back from a data file).
// Returns 0, or the status that create reports: 26 bad number of keys or
// descriptors cut off, 27 a segment outside the record, 28 bad record length or
// a block shorter than its header, 29 bad key length, 48 a segment that wants the
// collating sequence when none follows the descriptors.
int16_t parseSpecification(const uint8_t* data, std::size_t length, FileSpecification& specification);

// The key's own bytes as they stand in the record (segments concatenated).
// record must hold at least the fixed part.
std::string extractKey(const KeyDefinition& key, const uint8_t* record);

// The form of a key value in which memcmp order is the index order: binary
// segments byte-reversed, collated segments translated (or upper-cased for
// case-blind ones), descending segments inverted. value holds the key's bytes;
// when it is shorter than the key it counts as extended with zero bytes.
std::string normalizeKey(const FileSpecification& specification, const KeyDefinition& key, const uint8_t* value,
                         std::size_t valueLength);

}  // namespace recman
