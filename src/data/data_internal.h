// Pieces shared by the two halves of the data layer (table and reads): slot look-up
// and the file specification as the statistics operation returns it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "data/data_files.h"

namespace datalayer {

// The slot holding this file number, or 0 when the file is not open (file number 0
// names no file, although it matches a free slot in findFileSlot).
int16_t slotOf(int16_t fileNumber);

// Issues the statistics operation into `buffer`, which first holds zeroBytes zero
// bytes and spaces after them. Returns how many bytes of the buffer are meaningful;
// status, when given, receives the call's status.
uint32_t readStatistics(FileSlot& slot, uint8_t (&buffer)[dataBufferSize], uint32_t zeroBytes,
                        int16_t* status = nullptr);

// What the two statistics calls tell of an open file, kept per slot: key lengths
// are asked for before every positioned read, and each call is a round trip into
// the storage. The file specification block of an open file cannot change while it stays
// open (only its record count does, which nothing here keeps), so the answers
// hold for as long as the same open does: `openStamp` names it, and a slot that
// is closed, cleared or opened again never matches a stale entry.
struct FileShape {
    uint32_t openStamp = 0;  // 0: nothing kept
    int16_t recordLength = 0;
    int numberOfKeys = 0;               // as the first call's bytes 4-5 say
    std::vector<int16_t> keyLengths;    // per key the descriptors describe in full
    uint32_t specificationLength = 0;   // the second call: bytes meaningful,
    uint8_t specification[dataBufferSize] = {};  // and the buffer as it came back
};

struct FileShapeCache {
    FileShape slots[dataFileSlotCount + 1];  // by slot number
};
extern FileShapeCache fileShapeCache;

// The file shape of an open slot, from the cache or from two statistics calls
// (issued as the uncached code issued them). A failed call leaves nothing kept,
// and the shape returned then holds what the failed calls left in the buffers.
const FileShape& fileShapeOf(int16_t slotNumber);

struct Segment {
    uint16_t position = 0;  // 1-based
    uint16_t length = 0;
    uint16_t flags = 0;
};

struct SpecificationKeys {
    std::vector<std::vector<Segment>> keys;
    std::size_t collatingOffset = 0;  // where the alternate collating sequence starts
    bool complete = true;             // false: the descriptors ran past the buffer
};

// The keys of a file specification: a key is its descriptors up to and including
// the first one without the "more segments" flag.
SpecificationKeys walkKeys(const uint8_t* spec, uint32_t length);

}  // namespace datalayer
