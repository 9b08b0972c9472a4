// Building data files and dictionaries. The dictionaries of the four suite files are
// defined here once; runtime/ddf holds them as files and a test keeps the two equal.
#include "data/data_build.h"

#include <cstring>

#include "data/data_files.h"
#include "data/record_layouts.h"
#include "platform/os/os.h"
#include "platform/recman/btrcall.h"

namespace {

void put16(std::string& s, std::size_t at, uint32_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& s, std::size_t at, uint32_t v) {
    put16(s, at, v & 0xFFFF);
    put16(s, at + 2, v >> 16);
}
uint16_t get16(std::string_view s, std::size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8));
}
uint32_t get32(std::string_view s, std::size_t at) { return get16(s, at) | (static_cast<uint32_t>(get16(s, at + 2)) << 16); }

// Code page 850 bytes 128..255 folded to the letter they sort with; entries that
// are not letters stay themselves.
constexpr uint8_t upperHalfFolding[128] = {
    0x43, 0x55, 0x45, 0x41, 0x41, 0x41, 0x41, 0x43, 0x45, 0x45, 0x45, 0x49, 0x49, 0x49, 0x41, 0x41,
    0x45, 0x41, 0x41, 0x4F, 0x4F, 0x4F, 0x55, 0x55, 0x59, 0x4F, 0x55, 0x4F, 0x9C, 0x4F, 0x9E, 0x9F,
    0x41, 0x49, 0x4F, 0x55, 0x4E, 0x4E, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF,
    0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0x41, 0x41, 0x41, 0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF,
    0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0x41, 0x41, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF,
    0xD0, 0xD1, 0x45, 0x45, 0x45, 0x49, 0x49, 0x49, 0x49, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0x49, 0xDF,
    0x4F, 0x53, 0x4F, 0x4F, 0x4F, 0x4F, 0xE6, 0xE7, 0xE8, 0x55, 0x55, 0x55, 0x59, 0x59, 0xEE, 0xEF,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF,
};

std::string fixedText(std::string_view text, std::size_t width) {
    std::string s(text.substr(0, width));
    s.resize(width, ' ');
    return s;
}

void place(std::string& record, std::size_t offset, std::string_view bytes) {
    std::memcpy(record.data() + offset, bytes.data(), bytes.size());
}

std::string joinPath(std::string_view dir, std::string_view name) {
    std::string p(dir);
    if (!p.empty() && p.back() != '/' && p.back() != '\\') p += '/';
    return p + std::string(name);
}

}  // namespace

std::string encodeSpecification(const DataFileSpec& spec) {
    std::size_t segments = 0;
    for (const auto& key : spec.keys) segments += key.size();
    std::string s(16 + 16 * segments, '\0');
    put16(s, 0, spec.recordLength);
    put16(s, 2, spec.pageSize);
    put16(s, 4, static_cast<uint32_t>(spec.keys.size()));
    put32(s, 6, spec.recordCount);
    put16(s, 10, spec.fileFlags);
    std::size_t at = 16;
    for (const auto& key : spec.keys) {
        for (std::size_t i = 0; i < key.size(); ++i) {
            uint16_t flags = key[i].flags & ~keyflag::segmented;
            if (i + 1 < key.size()) flags |= keyflag::segmented;
            put16(s, at, key[i].position);
            put16(s, at + 2, key[i].length);
            put16(s, at + 4, flags);
            at += 16;
        }
    }
    if (spec.hasCollatingSequence) {
        s += static_cast<char>(collatingSequenceId);
        s += fixedText(spec.collatingName, 8);
        s.append(reinterpret_cast<const char*>(spec.collatingTable.data()), 256);
    }
    return s;
}

bool decodeSpecification(std::string_view bytes, DataFileSpec& spec) {
    spec = DataFileSpec{};
    if (bytes.size() < 16) return false;
    spec.recordLength = get16(bytes, 0);
    spec.pageSize = get16(bytes, 2);
    const unsigned keys = get16(bytes, 4);
    spec.recordCount = get32(bytes, 6);
    spec.fileFlags = get16(bytes, 10);
    std::size_t at = 16;
    for (unsigned k = 0; k < keys; ++k) {
        std::vector<KeySegmentSpec> key;
        for (;;) {
            if (at + 16 > bytes.size()) return false;
            KeySegmentSpec seg{get16(bytes, at), get16(bytes, at + 2), get16(bytes, at + 4)};
            key.push_back(seg);
            at += 16;
            if (!(seg.flags & keyflag::segmented)) break;
        }
        spec.keys.push_back(std::move(key));
    }
    if (at + 1 + 8 + 256 <= bytes.size() && static_cast<uint8_t>(bytes[at]) == collatingSequenceId) {
        spec.hasCollatingSequence = true;
        spec.collatingName = std::string(bytes.substr(at + 1, 8));
        std::memcpy(spec.collatingTable.data(), bytes.data() + at + 9, 256);
    }
    return true;
}

std::string encodeDictionary(const DataFileSpec& spec) {
    std::string body = encodeSpecification(spec);
    std::string out(2, '\0');
    put16(out, 0, static_cast<uint32_t>(body.size()));
    return out + body;
}

bool readDictionary(std::string_view xdfName, std::string& specification) {
    specification.clear();
    std::string contents;
    if (!os::readWholeFile(xdfName, contents) || contents.size() < 2) return false;
    const std::size_t n = get16(contents, 0);
    if (contents.size() < 2 + n) return false;
    specification = contents.substr(2, n);
    return true;
}

std::array<uint8_t, 256> foldingCollatingTable() {
    std::array<uint8_t, 256> t{};
    for (int b = 0; b < 128; ++b) t[b] = static_cast<uint8_t>(b >= 'a' && b <= 'z' ? b - 'a' + 'A' : b);
    for (int b = 128; b < 256; ++b) t[b] = upperHalfFolding[b - 128];
    return t;
}

std::string suiteFileBaseName(int16_t fileNumber) {
    switch (fileNumber) {
        case ownersFile: return "PropietV";
        case propertiesFile: return "FinquesV";
        case unitsFile: return "DepartaV";
        case receiptsFile: return "CobramV";
        default: return {};
    }
}

// The four files. Record lengths are the sizes of the module's record buffers. Name
// keys fold case and accents and allow duplicates, for searches by name; key 0 of
// every file is unique.
DataFileSpec suiteFileSpec(int16_t fileNumber) {
    DataFileSpec spec;
    constexpr uint16_t dup = keyflag::duplicates;
    constexpr uint16_t acs = keyflag::collating;
    switch (fileNumber) {
        case ownersFile:
            spec.recordLength = sizeof recordBuffers.owner;
            spec.keys = {{{1, 2, 0}},               // owner code
                         {{3, 30, acs | dup}}};     // owner name
            break;
        case propertiesFile:
            spec.recordLength = sizeof recordBuffers.property;
            spec.keys = {{{1, 2, 0}},               // property code
                         {{7, 2, 0}, {1, 2, 0}},    // owner code, property code
                         {{9, 30, acs | dup}}};     // property name
            break;
        case unitsFile:
            spec.recordLength = sizeof recordBuffers.unit;
            spec.keys = {{{1, 4, 0}},               // property code + unit code
                         {{9, 30, acs | dup}}};     // holder name
            break;
        case receiptsFile:
            spec.recordLength = sizeof recordBuffers.receipt;
            spec.pageSize = 512;
            spec.keys = {{{1, 4, 0}, {5, 4, 0}, {9, 1, 0}},   // unit key, issue date, receipt number
                         {{5, 4, 0}, {1, 4, 0}, {9, 1, 0}}};  // issue date, unit key, receipt number
            break;
        default: return spec;
    }
    spec.hasCollatingSequence = true;
    spec.collatingName = "ZELPLEGA";
    spec.collatingTable = foldingCollatingTable();
    return spec;
}

bool writeSuiteDictionaries(std::string_view rootDir) {
    const std::string ddf = joinPath(rootDir, "ddf");
    if (!os::isDirectory(ddf) && !os::makeDirectories(ddf)) return false;
    for (int16_t n : {ownersFile, propertiesFile, unitsFile, receiptsFile})
        if (!os::writeFileAtomically(joinPath(ddf, suiteFileBaseName(n) + ".xdf"), encodeDictionary(suiteFileSpec(n))))
            return false;
    return true;
}

std::string compactNumber(long long value, int bytes) {
    std::string out(static_cast<std::size_t>(bytes), '\0');
    if (value < 0) value = -value;
    for (int i = bytes - 1; i >= 0; --i) {
        int two = static_cast<int>(value % 100);
        value /= 100;
        out[static_cast<std::size_t>(i)] = static_cast<char>(128 + two);
    }
    return out;
}

std::string ownerRecord(int code, std::string_view name) {
    std::string r(sizeof recordBuffers.owner, ' ');
    place(r, 0, compactNumber(code, 2));
    place(r, 2, fixedText(name, 30));
    return r;
}

std::string propertyRecord(int code, int ownerCode, std::string_view name, char ownershipMark) {
    std::string r(sizeof recordBuffers.property, ' ');
    place(r, 0, compactNumber(code, 2));
    place(r, 6, compactNumber(ownerCode, 2));
    place(r, 8, fixedText(name, 30));
    r[141] = ownershipMark;
    return r;
}

std::string unitRecord(int propertyCode, int unitCode, std::string_view holderName, std::string_view designation) {
    std::string r(sizeof recordBuffers.unit, ' ');
    place(r, 0, compactNumber(propertyCode, 2) + compactNumber(unitCode, 2));
    place(r, 8, fixedText(holderName, 30));
    place(r, 38, fixedText(designation, 10));
    return r;
}

std::string receiptRecord(const ReceiptFields& f) {
    std::string r(sizeof recordBuffers.receipt, ' ');
    place(r, 0, compactNumber(f.propertyCode, 2) + compactNumber(f.unitCode, 2));
    place(r, 4, compactNumber(f.issueDate, 4));
    place(r, 8, compactNumber(f.number, 1));
    place(r, 9, compactNumber(f.collectionDate, 4));
    std::string amount(4, '\0');
    put32(amount, 0, static_cast<uint32_t>(f.amount));
    place(r, 13, amount);
    r[17] = f.state;
    r[38] = f.kind;
    return r;
}

int16_t createDataFile(std::string_view path, std::string_view specification) {
    uint8_t block[128] = {};
    uint8_t data[dataBufferSize];
    std::memset(data, ' ', sizeof data);
    std::memcpy(data, specification.data(), specification.size() < sizeof data ? specification.size() : sizeof data);
    uint8_t key[keyBufferSize] = {};
    const std::size_t n = path.size() < keyBufferSize - 1 ? path.size() : keyBufferSize - 1;
    std::memcpy(key, path.data(), n);
    uint32_t length = dataBufferSize;
    return btrcall(recman::opCreate, block, data, &length, key, static_cast<uint8_t>(n), -1);
}

int16_t beginDataFileLoad(DataFileLoad& load, std::string_view path) {
    load = DataFileLoad{};
    uint8_t key[keyBufferSize] = {};
    const std::size_t n = path.size() < keyBufferSize - 1 ? path.size() : keyBufferSize - 1;
    std::memcpy(key, path.data(), n);
    uint8_t owner[1] = {0};
    uint32_t length = 0;
    int16_t status = btrcall(recman::opOpen, load.positionBlock, owner, &length, key, static_cast<uint8_t>(n),
                             recman::openExclusive);
    if (status != 0) return status;
    load.open = true;

    uint8_t spec[dataBufferSize];
    std::memset(spec, ' ', sizeof spec);
    uint8_t statKey[keyBufferSize] = {};
    length = dataBufferSize;
    status = btrcall(recman::opStat, load.positionBlock, spec, &length, statKey, 255, 0);
    if (status != 0) {
        endDataFileLoad(load, false);
        return status;
    }
    load.recordLength = spec[0] | (spec[1] << 8);
    load.variableLength = (spec[10] & 0x01) != 0;

    uint8_t none[1] = {0};
    length = 0;
    status = btrcall(recman::opBeginTransaction, load.positionBlock, none, &length, none, 0, 0);
    if (status != 0) {
        endDataFileLoad(load, false);
        return status;
    }
    load.inTransaction = true;
    return 0;
}

int16_t loadDataRecord(DataFileLoad& load, std::string_view record) {
    if (!load.open) return recman::statusFileNotOpen;
    const std::size_t fixed = static_cast<std::size_t>(load.recordLength);
    if (record.size() < fixed || (!load.variableLength && record.size() != fixed))
        return recman::statusInvalidRecordLength;
    // The record manager may write to the data buffer, so it gets a copy.
    static std::string data;
    data.assign(record);
    uint8_t key[keyBufferSize] = {};
    uint32_t length = static_cast<uint32_t>(record.size());
    int16_t status = btrcall(recman::opInsert, load.positionBlock, data.data(), &length, key, 255, 0);
    if (status == 0) ++load.inserted;
    return status;
}

int16_t endDataFileLoad(DataFileLoad& load, bool keep) {
    int16_t status = 0;
    uint8_t none[1] = {0};
    uint32_t length = 0;
    if (load.inTransaction) {
        status = btrcall(keep ? recman::opEndTransaction : recman::opAbortTransaction, load.positionBlock, none, &length, none, 0, 0);
        load.inTransaction = false;
    }
    if (load.open) {
        length = 0;
        int16_t closed = btrcall(recman::opClose, load.positionBlock, none, &length, none, 0, 0);
        if (status == 0) status = closed;
        load.open = false;
    }
    return status;
}

int16_t insertRecords(std::string_view path, const std::vector<std::string>& records, std::size_t* failedRecord) {
    DataFileLoad load;
    int16_t status = beginDataFileLoad(load, path);
    if (status != 0) return status;
    for (std::size_t i = 0; i < records.size(); ++i) {
        status = loadDataRecord(load, records[i]);
        if (status != 0) {
            if (failedRecord) *failedRecord = i;
            endDataFileLoad(load, false);
            return status;
        }
    }
    return endDataFileLoad(load, true);
}

int16_t buildDataFile(std::string_view path, std::string_view specification, const std::vector<std::string>& records) {
    int16_t status = createDataFile(path, specification);
    if (status != 0) return status;
    return insertRecords(path, records);
}

int16_t buildSuiteDataFile(std::string_view rootDir, int16_t fileNumber, const std::vector<std::string>& records) {
    const std::string base = suiteFileBaseName(fileNumber);
    if (base.empty()) return recman::statusInvalidOperation;
    const std::string folder = joinPath(rootDir, "DADES");
    if (!os::isDirectory(folder)) os::makeDirectories(folder);
    return buildDataFile(joinPath(folder, base + ".dat"), encodeSpecification(suiteFileSpec(fileNumber)), records);
}
