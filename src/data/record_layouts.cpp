// Fields of the four record buffers, read by offset and width. Bytes the module does
// not use stay as the record manager returned them.
#include "data/record_layouts.h"

#include <cstring>

RecordBuffers recordBuffers;

namespace {

template <std::size_t N>
std::string field(const uint8_t (&record)[N], std::size_t offset, std::size_t width) {
    static_assert(N > 0);
    return std::string(reinterpret_cast<const char*>(record) + offset, width);
}

}  // namespace

std::string ownerCode() { return field(recordBuffers.owner, 0, 2); }
std::string ownerName() { return field(recordBuffers.owner, 2, 30); }
// The report blanks the name before it looks a property's owner up, so a missing
// owner shows as blanks rather than the previous property's owner.
void clearOwnerName() { std::memset(recordBuffers.owner + 2, ' ', 30); }

std::string propertyCode() { return field(recordBuffers.property, 0, 2); }
std::string propertyOwnerCode() { return field(recordBuffers.property, 6, 2); }
std::string propertyName() { return field(recordBuffers.property, 8, 30); }
char propertyOwnershipMark() { return static_cast<char>(recordBuffers.property[141]); }

std::string unitKey() { return field(recordBuffers.unit, 0, 4); }
std::string unitHolderName() { return field(recordBuffers.unit, 8, 30); }
std::string unitDesignation() { return field(recordBuffers.unit, 38, 10); }

std::string receiptUnitKey() { return field(recordBuffers.receipt, 0, 4); }
std::string receiptIssueDate() { return field(recordBuffers.receipt, 4, 4); }
std::string receiptNumber() { return field(recordBuffers.receipt, 8, 1); }
std::string receiptCollectionDate() { return field(recordBuffers.receipt, 9, 4); }
int32_t receiptAmount() {
    const uint8_t* b = recordBuffers.receipt + 13;
    return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                                (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24));
}
char receiptCollectionState() { return static_cast<char>(recordBuffers.receipt[17]); }
char receiptKind() { return static_cast<char>(recordBuffers.receipt[38]); }
