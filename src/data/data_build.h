// Building data files: file specifications and data dictionaries, the dictionaries
// of the suite's four files, records in their layouts, and creating a data file and
// filling it in one transaction. Used by zelutil (create, load, demo) and by tests
// and benchmarks that need real data files.
//
// Typical use in a test:
//     writeSuiteDictionaries(root);                    // root + "ddf/*.xdf"
//     buildSuiteDataFile(root, receiptsFile, {receiptRecord({...}), ...});
//                                                      // root + "DADES/CobramV.dat"
// or, for a file of one's own:
//     DataFileSpec spec{.recordLength = 20, .keys = {{{1, 4, 0}}}};
//     buildDataFile(dir + "X.dat", encodeSpecification(spec), records);
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Segment flags of a key descriptor.
namespace keyflag {
constexpr uint16_t duplicates = 0x0001;
constexpr uint16_t modifiable = 0x0002;
constexpr uint16_t binary = 0x0004;
constexpr uint16_t segmented = 0x0010;  // another segment of the same key follows
constexpr uint16_t collating = 0x0020;  // compared through the alternate collating sequence
constexpr uint16_t descending = 0x0040;
}  // namespace keyflag

constexpr uint8_t collatingSequenceId = 0xAC;

struct KeySegmentSpec {
    uint16_t position = 1;  // 1-based offset in the record
    uint16_t length = 0;
    uint16_t flags = 0;     // keyflag::segmented is set by the encoder between segments
};

struct DataFileSpec {
    uint16_t recordLength = 0;
    uint16_t pageSize = 1024;
    std::vector<std::vector<KeySegmentSpec>> keys;  // key 0 first
    uint32_t recordCount = 0;                       // as the statistics report it
    uint16_t fileFlags = 0;                         // 0x0001: records may be longer than recordLength
    bool hasCollatingSequence = false;
    std::string collatingName;                      // 8 bytes, blank padded
    std::array<uint8_t, 256> collatingTable{};
};

// The file specification block handed to the create operation: 16-byte header
// (record length, page size, number of keys, record count), 16-byte segment
// descriptors, then the alternate collating sequence (id byte, name, table) when
// the DataFileSpec has one.
std::string encodeSpecification(const DataFileSpec& spec);
// Reads a specification block (from a dictionary or the statistics operation).
// False when the block is too short for what it declares. Flags are kept as found.
bool decodeSpecification(std::string_view bytes, DataFileSpec& spec);
// A dictionary file's bytes: the length of the file specification block, 2 bytes
// little-endian, and the block.
std::string encodeDictionary(const DataFileSpec& spec);
// The file specification block inside a dictionary file; false when the file is missing, or
// shorter than its length field says.
bool readDictionary(std::string_view xdfName, std::string& specification);

// Table that folds letter case and accents of code page 850 (a and à sort as A),
// the collating sequence of the suite's name keys.
std::array<uint8_t, 256> foldingCollatingTable();

// The suite's four files by file number (505, 506, 507, 509): base name and spec.
// An unknown number gives "" and an empty spec.
std::string suiteFileBaseName(int16_t fileNumber);
DataFileSpec suiteFileSpec(int16_t fileNumber);
// Writes rootDir + "ddf/" + base name + ".xdf" for the four files; false on a write error.
bool writeSuiteDictionaries(std::string_view rootDir);

// Records in the layouts of the four files. Codes are whole numbers packed as
// compact numbers; dates are YYYYMMDD (0 = the empty date); texts are code page 850,
// cut or blank padded to their width. Bytes the module does not use are blanks.
std::string compactNumber(long long value, int bytes);
std::string ownerRecord(int code, std::string_view name);
std::string propertyRecord(int code, int ownerCode, std::string_view name, char ownershipMark = ' ');
std::string unitRecord(int propertyCode, int unitCode, std::string_view holderName, std::string_view designation);
struct ReceiptFields {
    int propertyCode = 0;
    int unitCode = 0;
    long issueDate = 0;       // YYYYMMDD
    int number = 0;           // 0..99
    long collectionDate = 0;  // YYYYMMDD, 0 = not collected
    int32_t amount = 0;       // hundredths
    char state = 'P';
    char kind = 'P';
};
std::string receiptRecord(const ReceiptFields& receipt);

// Creates the data file (a Linux path or a "\" name) from a specification block;
// an existing file is not replaced. Returns the record manager's status.
int16_t createDataFile(std::string_view path, std::string_view specification);

// A load in progress: the file open exclusively inside one transaction. Nothing is
// kept unless endDataFileLoad is asked to keep it.
struct DataFileLoad {
    uint8_t positionBlock[128] = {};
    int32_t recordLength = 0;
    bool variableLength = false;
    long long inserted = 0;
    bool open = false;
    bool inTransaction = false;
};
int16_t beginDataFileLoad(DataFileLoad& load, std::string_view path);
// Inserts one record; a record whose length is not the file's record length (or,
// in a file of variable-length records, shorter than it) is refused with status 28
// (invalid record length) before it reaches the file.
int16_t loadDataRecord(DataFileLoad& load, std::string_view record);
// Ends (keep = true) or aborts the transaction, then closes the file.
int16_t endDataFileLoad(DataFileLoad& load, bool keep);

// All records or none: on a failure nothing is inserted, *failedRecord (when given)
// is the 0-based index of the record that failed, and the status is returned.
int16_t insertRecords(std::string_view path, const std::vector<std::string>& records,
                      std::size_t* failedRecord = nullptr);
// createDataFile + insertRecords.
int16_t buildDataFile(std::string_view path, std::string_view specification, const std::vector<std::string>& records);
// rootDir + "DADES/" + base name + ".dat" from the suite's spec (folders made as needed).
int16_t buildSuiteDataFile(std::string_view rootDir, int16_t fileNumber, const std::vector<std::string>& records);
