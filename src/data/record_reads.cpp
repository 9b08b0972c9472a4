// Reads along a key, by step and by position, lock modes and the wait for another
// program's locks, and the collating form of key values.
//
// Every read copies at most min(record length, bytes returned, buffer capacity)
// bytes into the caller's record buffer, so a file that declares longer records
// than the buffer holds cannot write past it.
#include "data/record_reads.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "console/message_box.h"
#include "console/windows.h"
#include "data/data_files.h"
#include "data/data_internal.h"
#include "driver/session_settings.h"
#include "platform/os/os.h"
#include "platform/recman/btrcall.h"

namespace {

constexpr int16_t statusNotOpen = 3;
constexpr int16_t statusNoSuchKey = 1004;
constexpr uint16_t lockBias = recman::lockSingleNoWait;

uint8_t dataBuffer[dataBufferSize];
uint8_t keyBuffer[keyBufferSize];

bool takesLockBias(uint16_t code) {
    return (code >= 5 && code <= 13) || code == 19 || (code >= 22 && code <= 24) || (code >= 33 && code <= 35);
}

std::string lockMessage() {
    const std::string& lang = sessionSettings.languageCode;
    if (lang == "SPA") return "FICHERO BLOQUEADO. ESPERE UN MOMENTO.";
    if (lang == "GLG") return "FICHEIRO BLOQUEADO. ESPERE UM MOMENTO.";
    if (lang == "OCI") return "FICH\xD4R BLOQUEJAT. ESPERATZ UN MOMENT.";  // FICHÈR BLOQUEJAT. ESPERATZ UN MOMENT.
    return "FITXER BLOQUEJAT. ESPEREU UN MOMENT.";
}

// Record length as the data buffer can carry it.
uint32_t usableRecordLength(const FileSlot& slot) {
    if (slot.recordLength <= 0) return 0;
    return static_cast<uint32_t>(slot.recordLength) < dataBufferSize ? static_cast<uint32_t>(slot.recordLength)
                                                                      : static_cast<uint32_t>(dataBufferSize);
}

void copyToRecordBuffer(FileSlot& slot, uint32_t returned) {
    std::size_t n = usableRecordLength(slot);
    if (returned < n) n = returned;
    if (slot.recordCapacity < n) n = slot.recordCapacity;
    if (n > 0 && slot.recordBuffer) std::memcpy(slot.recordBuffer, dataBuffer, n);
}

// The current key value takes the returned key bytes, keeping its length. Key values
// may hold zero bytes (binary segments, an extended search value), so the value is
// taken by length, not up to a zero byte.
void takeReturnedKey(FileSlot& slot) {
    std::size_t n = slot.keyValue.size();
    if (n > keyBufferSize) n = keyBufferSize;
    slot.keyValue.assign(reinterpret_cast<const char*>(keyBuffer), n);
}

// The record manager reads and writes only as many key bytes as the key length
// says, so the rest of the buffer is left as it is.
void loadKeyBuffer(const FileSlot& slot) {
    std::size_t n = slot.keyValue.size() < keyBufferSize ? slot.keyValue.size() : keyBufferSize - 1;
    std::memcpy(keyBuffer, slot.keyValue.data(), n);
    keyBuffer[n] = 0;
}

uint8_t keyLengthOf(const FileSlot& slot) {
    return static_cast<uint8_t>(slot.keyValue.size() < keyBufferSize ? slot.keyValue.size() : keyBufferSize - 1);
}

}  // namespace

void runReadOperation(int16_t slotNumber, uint16_t code, int16_t& status) {
    if (slotNumber < 1 || slotNumber > dataFileSlotCount || dataFileTable.slots[slotNumber].fileNumber == 0) {
        status = statusNotOpen;
        return;
    }
    FileSlot& slot = dataFileTable.slots[slotNumber];
    if (slot.lockMode != 0 && takesLockBias(code)) code = static_cast<uint16_t>(code + lockBias);
    int attempts = 0;
    for (;;) {
        if (attempts == 1) {
            std::string message = lockMessage();
            showMessageBox(24, message);
        }
        const uint32_t recordLength = usableRecordLength(slot);
        // The record goes to the record manager as the data buffer's contents, but
        // a keyed read or step (5 to 13) only writes that buffer, and what it
        // leaves past the bytes returned never reaches the caller: those need no copy.
        const uint16_t base = code % 100;
        if (base < recman::opGetEqual || base > recman::opGetLast) {
            std::size_t have = slot.recordCapacity < recordLength ? slot.recordCapacity : recordLength;
            if (!slot.recordBuffer) have = 0;
            if (have > 0) std::memcpy(dataBuffer, slot.recordBuffer, have);
            if (have < recordLength) std::memset(dataBuffer + have, 0, recordLength - have);
        }
        loadKeyBuffer(slot);
        uint32_t length = recordLength;
        status = btrcall(code, slot.positionBlock, dataBuffer, &length, keyBuffer, keyLengthOf(slot),
                         static_cast<int8_t>(slot.keyNumber));
        copyToRecordBuffer(slot, length);
        takeReturnedKey(slot);
        if ((status == recman::statusRecordLocked || status == recman::statusFileLocked) && slot.lockMode == 1) {
            // Pause 1 to 10001 ms so that programs waiting for the same record do not
            // retry in step.
            os::sleepMs(static_cast<int>(std::lround(10000.0 * os::randomFraction() + 1.0)));
            if (attempts < 2) ++attempts;
            continue;
        }
        if (attempts != 0) popWindow();
        return;
    }
}

void readAtKey(int16_t fileNumber, int16_t keyNumber, std::string_view keyValue, int16_t direction, int16_t& status) {
    int16_t slotNumber = datalayer::slotOf(fileNumber);
    if (slotNumber == 0) {
        status = statusNotOpen;
        return;
    }
    int16_t keyLength = 0, recordLength = 0;
    queryKeyLength(fileNumber, keyNumber, keyLength, recordLength);
    if (keyLength <= 0) {
        status = statusNoSuchKey;
        return;
    }
    FileSlot& slot = dataFileTable.slots[slotNumber];
    slot.keyNumber = keyNumber;
    slot.keyValue.assign(keyValue.substr(0, static_cast<std::size_t>(keyLength)));
    slot.keyValue.resize(static_cast<std::size_t>(keyLength), '\0');
    uint16_t code = direction == 0 ? recman::opGetEqual
                                   : (direction > 0 ? recman::opGetGreaterOrEqual : recman::opGetLessOrEqual);
    runReadOperation(slotNumber, code, status);
    if (status == recman::statusDataBufferTooShort) status = 0;
}

void readNext(int16_t fileNumber, int16_t count, int16_t& status) {
    int16_t slotNumber = datalayer::slotOf(fileNumber);
    if (slotNumber == 0) {
        status = statusNotOpen;
        return;
    }
    status = 0;
    FileSlot& slot = dataFileTable.slots[slotNumber];
    const uint16_t code = count >= 0 ? recman::opGetNext : recman::opGetPrevious;
    int n = count < 0 ? -static_cast<int>(count) : count;
    // Records skipped on the way land in the data buffer, not in the caller's.
    while (n > 1 && status == 0) {
        loadKeyBuffer(slot);
        uint32_t length = dataBufferSize;
        status = btrcall(code, slot.positionBlock, dataBuffer, &length, keyBuffer, keyLengthOf(slot),
                         static_cast<int8_t>(slot.keyNumber));
        takeReturnedKey(slot);
        if (status == recman::statusDataBufferTooShort) status = 0;
        --n;
    }
    if (count == 0 || status != 0) return;
    runReadOperation(slotNumber, code, status);
    if (status == recman::statusDataBufferTooShort) status = 0;
}

int32_t readByPosition(int16_t fileNumber, int32_t position) {
    int16_t slotNumber = datalayer::slotOf(fileNumber);
    if (slotNumber == 0) return position == 0 ? 0 : statusNotOpen;
    FileSlot& slot = dataFileTable.slots[slotNumber];
    uint32_t length = dataBufferSize;
    if (position == 0) {
        std::memset(dataBuffer, 0, 4);
        std::memset(dataBuffer + 4, ' ', dataBufferSize - 4);
        std::memset(keyBuffer, 0, sizeof keyBuffer);
        int16_t status = btrcall(recman::opGetPosition, slot.positionBlock, dataBuffer, &length, keyBuffer, 0, 0);
        if (status != 0) return 0;
        return static_cast<int32_t>(dataBuffer[0] | (dataBuffer[1] << 8) | (dataBuffer[2] << 16) |
                                    (static_cast<uint32_t>(dataBuffer[3]) << 24));
    }
    const uint32_t p = static_cast<uint32_t>(position);
    dataBuffer[0] = static_cast<uint8_t>(p);
    dataBuffer[1] = static_cast<uint8_t>(p >> 8);
    dataBuffer[2] = static_cast<uint8_t>(p >> 16);
    dataBuffer[3] = static_cast<uint8_t>(p >> 24);
    std::memset(dataBuffer + 4, ' ', dataBufferSize - 4);
    std::memset(keyBuffer, 0, sizeof keyBuffer);
    int16_t status = btrcall(recman::opGetDirect, slot.positionBlock, dataBuffer, &length, keyBuffer, 0,
                             static_cast<int8_t>(slot.keyNumber));
    takeReturnedKey(slot);
    if (status == recman::statusDataBufferTooShort) status = 0;
    if (status == 0) copyToRecordBuffer(slot, length);
    return status;
}

void setLockMode(int16_t fileNumber, std::string_view letters, int16_t& status) {
    int16_t slotNumber = datalayer::slotOf(fileNumber);
    if (slotNumber == 0) {
        status = statusNotOpen;
        return;
    }
    FileSlot& slot = dataFileTable.slots[slotNumber];
    std::string& stack = dataFileTable.lockStack;
    for (char c : letters) {
        switch (c) {
            case 'D': case 'd': slot.lockMode = 0; break;
            case 'A': case 'a': slot.lockMode = 1; break;
            case 'B': case 'b': slot.lockMode = 2; break;
            case '+':
                stack += static_cast<char>(slotNumber);
                stack += static_cast<char>(slot.lockMode);
                break;
            case '-':
                for (std::size_t i = stack.size() / 2; i > 0; --i) {
                    std::size_t at = (i - 1) * 2;
                    if (static_cast<uint8_t>(stack[at]) == slotNumber) {
                        slot.lockMode = static_cast<uint8_t>(stack[at + 1]);
                        stack.erase(at, 2);
                        break;
                    }
                }
                break;
            default: break;
        }
    }
}

std::string collateKey(std::string_view value, int16_t fileNumber) {
    std::string out(value);
    int16_t slotNumber = datalayer::slotOf(fileNumber);
    if (slotNumber == 0) return out;
    FileSlot& slot = dataFileTable.slots[slotNumber];
    const datalayer::FileShape& shape = datalayer::fileShapeOf(slotNumber);
    const uint8_t* spec = shape.specification;
    const uint32_t length = shape.specificationLength;
    datalayer::SpecificationKeys keys = datalayer::walkKeys(spec, length);
    if (slot.keyNumber < 0 || static_cast<std::size_t>(slot.keyNumber) >= keys.keys.size()) return out;
    // The translation table follows the identifying byte and the 8-byte name.
    const std::size_t tableOffset = keys.collatingOffset + 9;
    const bool haveTable = keys.complete && tableOffset + 256 <= length;
    std::size_t p = 0;
    for (const datalayer::Segment& s : keys.keys[slot.keyNumber]) {
        if (s.flags & 0x0004) {
            // A binary segment compares as a number: little-endian bytes reversed.
            if (out.size() < p + s.length) out.resize(p + s.length, '\0');
            std::reverse(out.begin() + static_cast<std::ptrdiff_t>(p),
                         out.begin() + static_cast<std::ptrdiff_t>(p + s.length));
        } else if ((s.flags & 0x0020) && haveTable) {
            for (std::size_t i = p; i < p + s.length && i < out.size(); ++i)
                out[i] = static_cast<char>(spec[tableOffset + static_cast<uint8_t>(out[i])]);
        }
        p += s.length;
    }
    return out;
}

std::string currentKeyCollated(int16_t fileNumber) {
    int16_t slotNumber = datalayer::slotOf(fileNumber);
    if (slotNumber == 0) return {};
    return collateKey(dataFileTable.slots[slotNumber].keyValue, fileNumber);
}
