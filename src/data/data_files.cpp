// The table of open data files and the record manager calls that open, create,
// examine and close them.
//
// Invariants the rest of the data layer relies on:
// - a slot is in use exactly when its file number is not 0;
// - an open slot's record length is the file's fixed record length (0 until the
//   open succeeds) and its key value is as long as its current key;
// - nothing is ever copied into a caller's record buffer beyond the capacity that
//   the caller registered, whatever record length the file declares.
#include "data/data_files.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "console/field_editor.h"
#include "console/message_box.h"
#include "console/windows.h"
#include "data/data_build.h"
#include "data/data_internal.h"
#include "driver/session_settings.h"
#include "platform/os/os.h"
#include "platform/recman/btrcall.h"
#include "platform/term/console.h"
#include "report/print_file.h"

DataFileTable dataFileTable;

namespace {

constexpr int16_t statusAlreadyOpen = 1002;
constexpr int16_t statusNoFreeSlot = 1003;
constexpr int lockedFileRetryMs = 3000;
constexpr int16_t statusInvalidFileName = 11;

// The owner name of the suite's data files: four digits and a zero byte. It is
// put together piece by piece so the digits do not stand as one text in the binary.
void buildOwnerName(uint8_t (&owner)[5]) {
    const char pieces[4][2] = {{'7', 0}, {'3', 0}, {'0', 0}, {'9', 0}};
    for (int i = 0; i < 4; ++i) owner[i] = static_cast<uint8_t>(pieces[i][0]);
    owner[4] = 0;
}

struct SplitName {
    std::string folder, base, extension;
};

// Folder part up to the last ":", "\" or "/"; extension from the first "." after
// it; ".dat" when the name part has no ".".
SplitName splitDataFileName(std::string_view name) {
    SplitName s;
    std::size_t nameStart = 0;
    for (std::size_t i = name.size(); i > 0; --i) {
        char c = name[i - 1];
        if (c == ':' || c == '\\' || c == '/') {
            nameStart = i;
            break;
        }
    }
    s.folder = std::string(name.substr(0, nameStart));
    std::string_view rest = name.substr(nameStart);
    std::size_t dot = rest.find('.');
    if (dot == std::string_view::npos) {
        s.base = std::string(rest);
        s.extension = ".dat";
    } else {
        s.base = std::string(rest.substr(0, dot));
        s.extension = std::string(rest.substr(dot));
    }
    return s;
}

// The message shown when a data file can be neither opened nor created.
std::string openFailureMessage(std::string_view name, int16_t status) {
    const std::string& lang = sessionSettings.languageCode;
    std::string text;
    if (lang == "SPA")
        text = "NO SE PUEDE ACCEDER AL FICHERO ";
    else if (lang == "GLG")
        text = "NOM SE PODE ACEDER AO FICHEIRO ";
    else if (lang == "OCI")
        text = "NON SE P\xE3T ACCEDIR ATH FICH\xD4R ";  // NON SE PÒT ACCEDIR ATH FICHÈR
    else
        text = "NO ES POT ACCEDIR AL FITXER ";
    text += name;
    text += " (" + std::to_string(status) + ")";
    return text;
}

[[noreturn]] void failDataFileOpen(std::string_view name, int16_t status) {
    showDataFileFailure(name, status);
    // Keys typed ahead must not answer a message the operator has not seen.
    term::flushInput();
    int16_t key = 0;
    waitKey(key);
    popWindow();
    closePrintFile();
    int16_t closeStatus = 0;
    closeAllDataFiles(closeStatus);
    term::close();
    std::exit(0);
}

// The file specification block of the dictionary file, or "" when the file is missing, shorter
// than its length field says, or longer than the data buffer can pass on. The
// dictionary is only read: a missing one must not leave an empty file behind.
std::string readDictionarySpecification(std::string_view dictionaryName) {
    std::string spec;
    if (!readDictionary(dictionaryName, spec) || spec.size() > dataBufferSize) return {};
    return spec;
}

void clearSlot(FileSlot& slot) {
    slot.fileNumber = 0;
    std::memset(slot.positionBlock, 0, sizeof slot.positionBlock);
    slot.recordBuffer = nullptr;
    slot.recordCapacity = 0;
    slot.recordLength = 0;
    slot.keyNumber = 0;
    slot.keyValue.clear();
    slot.lockMode = 0;
    datalayer::fileShapeCache.slots[&slot - dataFileTable.slots].openStamp = 0;
}

}  // namespace

namespace datalayer {

int16_t slotOf(int16_t fileNumber) {
    if (fileNumber == 0) return 0;
    int16_t slot = findFileSlot(fileNumber);
    return slot > 0 ? slot : 0;
}

uint32_t readStatistics(FileSlot& slot, uint8_t (&buffer)[dataBufferSize], uint32_t zeroBytes, int16_t* status) {
    uint8_t key[keyBufferSize];
    if (zeroBytes > dataBufferSize) zeroBytes = dataBufferSize;
    std::memset(buffer, 0, zeroBytes);
    std::memset(buffer + zeroBytes, ' ', dataBufferSize - zeroBytes);
    std::memset(key, ' ', 255);
    key[255] = 0;
    uint32_t length = dataBufferSize;
    const int16_t result = btrcall(recman::opStat, slot.positionBlock, buffer, &length, key, 255, 0);
    if (status) *status = result;
    return length > 0 && length <= dataBufferSize ? length : dataBufferSize;
}

FileShapeCache fileShapeCache;

const FileShape& fileShapeOf(int16_t slotNumber) {
    FileSlot& slot = dataFileTable.slots[slotNumber];
    FileShape& shape = fileShapeCache.slots[slotNumber];
    const uint32_t stamp = recman::openStamp(slot.positionBlock);
    if (stamp != 0 && shape.openStamp == stamp) return shape;
    shape.openStamp = 0;
    // The segment descriptors are taken from a second call whose buffer starts
    // with as many zero bytes as the file's page size.
    static uint8_t first[dataBufferSize];
    int16_t firstStatus = -1, secondStatus = -1;
    readStatistics(slot, first, 0, &firstStatus);
    shape.recordLength = static_cast<int16_t>(first[0] | (first[1] << 8));
    shape.numberOfKeys = first[4] | (first[5] << 8);
    shape.specificationLength =
        readStatistics(slot, shape.specification, first[2] | (first[3] << 8), &secondStatus);
    const SpecificationKeys keys = walkKeys(shape.specification, shape.specificationLength);
    shape.keyLengths.clear();
    for (const std::vector<Segment>& key : keys.keys) {
        int total = 0;
        for (const Segment& s : key) total += s.length;
        shape.keyLengths.push_back(static_cast<int16_t>(total));
    }
    if (stamp != 0 && firstStatus == recman::statusOk && secondStatus == recman::statusOk) shape.openStamp = stamp;
    return shape;
}

SpecificationKeys walkKeys(const uint8_t* spec, uint32_t length) {
    SpecificationKeys keys;
    int numberOfKeys = spec[4] | (spec[5] << 8);
    std::size_t offset = 16;
    for (int k = 0; k < numberOfKeys; ++k) {
        std::vector<Segment> segments;
        for (;;) {
            if (offset + 16 > length) {
                keys.complete = false;
                return keys;
            }
            Segment s;
            s.position = spec[offset] | (spec[offset + 1] << 8);
            s.length = spec[offset + 2] | (spec[offset + 3] << 8);
            s.flags = spec[offset + 4] | (spec[offset + 5] << 8);
            segments.push_back(s);
            offset += 16;
            // Only the low byte of the flags tells whether the key goes on.
            if (!(s.flags & 0x0010)) break;
        }
        keys.keys.push_back(std::move(segments));
    }
    keys.collatingOffset = offset;
    return keys;
}

}  // namespace datalayer

int16_t findFileSlot(int16_t fileNumber) {
    int16_t highestFree = 0;
    for (int16_t i = 1; i <= dataFileSlotCount; ++i) {
        if (dataFileTable.slots[i].fileNumber == fileNumber) return i;
        if (dataFileTable.slots[i].fileNumber == 0) highestFree = i;
    }
    return static_cast<int16_t>(-highestFree);
}

void openDataFile(int16_t fileNumber, std::string_view name, uint8_t* recordBuffer, std::size_t recordCapacity,
                  int16_t& status) {
    int16_t found = findFileSlot(fileNumber);
    if (found > 0) {
        status = statusAlreadyOpen;
        return;
    }
    if (found == 0) {
        status = statusNoFreeSlot;
        return;
    }
    FileSlot& slot = dataFileTable.slots[-found];
    clearSlot(slot);
    slot.fileNumber = fileNumber;
    slot.recordBuffer = recordBuffer;
    slot.recordCapacity = recordBuffer ? recordCapacity : 0;

    const SplitName parts = splitDataFileName(name);
    const std::string path = parts.folder + parts.base + parts.extension;
    // The key buffer carries the path and a zero byte; the key length is one byte.
    // A longer path cannot be handed over whole; cutting it would name another file.
    if (path.size() > keyBufferSize - 1) {
        clearSlot(slot);
        failDataFileOpen(name, statusInvalidFileName);
    }
    uint8_t pathBuffer[keyBufferSize] = {};
    const std::size_t pathLength = path.size();
    std::memcpy(pathBuffer, path.data(), pathLength);

    uint8_t owner[5];
    buildOwnerName(owner);
    for (;;) {
        uint32_t length = sizeof owner;
        int16_t result = btrcall(recman::opOpen, slot.positionBlock, owner, &length, pathBuffer,
                                 static_cast<uint8_t>(pathLength), recman::openNormal);
        if (result == recman::statusOk) break;
        if (result == recman::statusFileLocked) {
            os::sleepMs(lockedFileRetryMs);
            continue;
        }
        if (result == recman::statusFileNotFound) {
            static uint8_t specification[dataBufferSize];
            std::memset(specification, ' ', sizeof specification);
            const std::string dictionary =
                readDictionarySpecification(sessionSettings.rootDir + "ddf\\" + parts.base + ".xdf");
            std::memcpy(specification, dictionary.data(), dictionary.size());
            uint32_t specLength = dataBufferSize;
            int16_t created = btrcall(recman::opCreate, slot.positionBlock, specification, &specLength, pathBuffer,
                                      static_cast<uint8_t>(pathLength), -1);
            if (created == recman::statusOk) continue;
            result = created;
        }
        clearSlot(slot);
        failDataFileOpen(name, result);
    }

    int16_t keyLength = 0, recordLength = 0;
    queryKeyLength(fileNumber, 0, keyLength, recordLength);
    slot.recordLength = recordLength;
    slot.keyValue.assign(static_cast<std::size_t>(keyLength), '\0');
    status = 0;
}

void closeAllDataFiles(int16_t& status) {
    std::memset(dataFileTable.scratchPositionBlock, ' ', sizeof dataFileTable.scratchPositionBlock);
    uint8_t data[1] = {0};
    uint8_t key[1] = {0};
    uint32_t length = 0;
    status = btrcall(recman::opReset, dataFileTable.scratchPositionBlock, data, &length, key, 0, 0);
    if (status != 0) return;
    for (int i = 1; i <= dataFileSlotCount; ++i) clearSlot(dataFileTable.slots[i]);
}

void queryKeyLength(int16_t fileNumber, int16_t keyNumber, int16_t& keyLength, int16_t& recordLength) {
    keyLength = 0;
    recordLength = 0;
    int16_t slotNumber = datalayer::slotOf(fileNumber);
    if (slotNumber == 0) return;
    const datalayer::FileShape& shape = datalayer::fileShapeOf(slotNumber);
    recordLength = shape.recordLength;
    if (keyNumber < 0 || keyNumber >= shape.numberOfKeys) return;
    if (static_cast<std::size_t>(keyNumber) >= shape.keyLengths.size()) return;
    keyLength = shape.keyLengths[static_cast<std::size_t>(keyNumber)];
}

// Exposed for the tests of the name rules.
std::string dataFilePath(std::string_view name) {
    SplitName s = splitDataFileName(name);
    return s.folder + s.base + s.extension;
}

std::string dataDictionaryName(std::string_view name) {
    return sessionSettings.rootDir + "ddf\\" + splitDataFileName(name).base + ".xdf";
}

std::string dataFileOpenMessage(std::string_view name, int16_t status) { return openFailureMessage(name, status); }

void showDataFileFailure(std::string_view name, int16_t status) {
    std::string message = openFailureMessage(name, status);
    dataFileTable.failureMessage = message;
    showMessageBox(12, message);
    term::beep();
}
