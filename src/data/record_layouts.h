// The four record buffers of the module and the fields it reads from them.
// Texts are fixed width, code page 850; codes and dates are compact numbers;
// amounts are 32-bit little-endian hundredths.
#pragma once

#include <cstdint>
#include <string>

constexpr int16_t ownersFile = 505;
constexpr int16_t propertiesFile = 506;
constexpr int16_t unitsFile = 507;
constexpr int16_t receiptsFile = 509;

struct RecordBuffers {
    uint8_t owner[324];
    uint8_t property[204];
    uint8_t unit[448];
    uint8_t receipt[52];
};
extern RecordBuffers recordBuffers;

// Owner record (505).
std::string ownerCode();            // 2 bytes, compact
std::string ownerName();            // 30 characters
void clearOwnerName();              // 30 blanks
// Property record (506).
std::string propertyCode();         // 2 bytes, compact
std::string propertyOwnerCode();    // 2 bytes, compact
std::string propertyName();         // 30 characters
char propertyOwnershipMark();
// Unit record (507).
std::string unitKey();              // 4 bytes: property code + unit code
std::string unitHolderName();       // 30 characters
std::string unitDesignation();      // 10 characters
// Receipt record (509).
std::string receiptUnitKey();       // 4 bytes
std::string receiptIssueDate();     // packed date
std::string receiptNumber();        // 1 byte, compact
std::string receiptCollectionDate();  // packed date
int32_t receiptAmount();
char receiptCollectionState();
char receiptKind();
