// Helpers shared by the record manager's tests: specification blocks, calls with
// std::string buffers, little-endian numbers.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/recman/btrcall.h"

namespace recmantest {

struct Segment {
    uint16_t position;  // 1-based
    uint16_t length;
    uint16_t flags;     // 0x0010 is added for all but a key's last segment
};
using Key = std::vector<Segment>;

inline void put16(std::string& s, std::size_t at, uint16_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}

inline std::string le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

inline uint32_t get32(const std::string& s, std::size_t at = 0) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(s[at + i]);
    return v;
}

// A specification block; acs (256 bytes) is appended with its 9-byte header when given.
inline std::string makeSpecification(uint16_t recordLength, const std::vector<Key>& keys, uint16_t fileFlags = 0,
                            const std::string& acs = {}) {
    std::string s(16, '\0');
    put16(s, 0, recordLength);
    put16(s, 2, 1024);
    put16(s, 4, static_cast<uint16_t>(keys.size()));
    put16(s, 10, fileFlags);
    for (const Key& k : keys) {
        for (std::size_t i = 0; i < k.size(); ++i) {
            std::string d(16, '\0');
            put16(d, 0, k[i].position);
            put16(d, 2, k[i].length);
            put16(d, 4, static_cast<uint16_t>(k[i].flags | (i + 1 < k.size() ? 0x0010 : 0)));
            s += d;
        }
    }
    if (!acs.empty()) s += std::string("\xAC" "UPPER   ", 9) + acs;
    return s;
}

// One open data file, with the last call's outputs.
struct Handle {
    uint8_t block[128] = {};
    std::string data;  // returned bytes
    std::string key;   // key buffer after the call (255 bytes)

    int16_t call(uint16_t op, const std::string& dataIn, const std::string& keyIn, int8_t keyNumber,
                 uint32_t offered = 1536, int keyLength = -1) {
        std::vector<uint8_t> d(std::max<std::size_t>(offered, dataIn.size()) + 1, 0);
        std::memcpy(d.data(), dataIn.data(), dataIn.size());
        uint8_t k[256] = {};
        std::memcpy(k, keyIn.data(), std::min<std::size_t>(keyIn.size(), 255));
        uint32_t length = offered;
        const uint8_t kl = static_cast<uint8_t>(keyLength < 0 ? keyIn.size() : keyLength);
        int16_t status = btrcall(op, block, d.data(), &length, k, kl, keyNumber);
        data.assign(reinterpret_cast<char*>(d.data()), length);
        key.assign(reinterpret_cast<char*>(k), 255);
        return status;
    }
    int16_t open(const std::string& path, int8_t mode = recman::openNormal) {
        std::memset(block, 0, sizeof block);
        return call(recman::opOpen, std::string("1234\0", 5), path + std::string(1, '\0'), mode, 5,
                    static_cast<int>(path.size()));
    }
    int16_t close() { return call(recman::opClose, "", "", 0, 0); }
    int16_t insert(const std::string& record, int8_t key = 0) {
        return call(recman::opInsert, record, std::string(255, '\0'), key, static_cast<uint32_t>(record.size()), 255);
    }
    int16_t update(const std::string& record, int8_t key = 0) {
        return call(recman::opUpdate, record, std::string(255, '\0'), key, static_cast<uint32_t>(record.size()), 255);
    }
    // A read by key value; op may carry a lock bias.
    int16_t read(uint16_t op, int8_t keyNumber, const std::string& value = {}, uint32_t offered = 1536) {
        return call(op, "", value, keyNumber, offered);
    }
    int16_t stat(uint32_t offered = 1536) {
        return call(recman::opStat, std::string(offered, ' '), std::string(255, ' '), 0, offered, 255);
    }
    int16_t position(uint32_t& pos) {
        int16_t s = call(recman::opGetPosition, std::string(4, '\0'), "", 0, 1536, 0);
        pos = s == 0 ? get32(data) : 0;
        return s;
    }
    int16_t direct(uint32_t pos, int8_t keyNumber, uint16_t bias = 0) {
        return call(static_cast<uint16_t>(recman::opGetDirect + bias), le32(pos), "", keyNumber, 1536, 0);
    }
};

inline int16_t createFile(const std::string& path, const std::string& specification, int8_t mode = recman::createNoReplace) {
    uint8_t block[128] = {};
    std::string data = specification + std::string(1536 - std::min<std::size_t>(specification.size(), 1536), ' ');
    uint32_t length = 1536;
    std::string key = path + std::string(1, '\0');
    return btrcall(recman::opCreate, block, data.data(), &length, key.data(), static_cast<uint8_t>(path.size()),
                   mode);
}

inline int16_t resetAll() {
    uint8_t block[128];
    std::memset(block, ' ', sizeof block);
    uint32_t length = 0;
    return btrcall(recman::opReset, block, nullptr, &length, nullptr, 0, 0);
}

}  // namespace recmantest
