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
// bytes and spaces after them. Returns how many bytes of the buffer are meaningful.
uint32_t readStatistics(FileSlot& slot, uint8_t (&buffer)[dataBufferSize], uint32_t zeroBytes);

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
