// File specification blocks: checking what create receives, and the key forms.
#include "platform/recman/file_specification.h"

#include <algorithm>
#include <cstring>

#include "platform/recman/btrcall.h"

namespace recman {

namespace {

uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

int16_t parseSpecification(const uint8_t* data, std::size_t length, FileSpecification& specification) {
    specification = FileSpecification{};
    if (data == nullptr || length < specificationHeaderSize) return statusInvalidRecordLength;
    specification.recordLength = get16(data);
    specification.fileFlags = get16(data + 10);
    const int keyCount = get16(data + 4);
    if (specification.recordLength == 0) return statusInvalidRecordLength;
    if (keyCount > maxKeys) return statusInvalidKeyCount;

    // Walk the descriptors key by key; a key ends at the first segment without
    // the continuation flag (only the low byte of the flags counts).
    std::size_t offset = specificationHeaderSize;
    int segmentCount = 0;
    bool wantsAlternate = false;
    for (int k = 0; k < keyCount; ++k) {
        KeyDefinition key;
        for (;;) {
            if (offset + segmentSize > length || segmentCount >= maxSegments) return statusInvalidKeyCount;
            const uint8_t* d = data + offset;
            offset += segmentSize;
            ++segmentCount;
            const uint16_t position = get16(d);
            const uint16_t segLength = get16(d + 2);
            const uint16_t flags = get16(d + 4);
            if (segLength == 0 || segLength > maxKeyLength) return statusInvalidKeyLength;
            if (position == 0 || static_cast<uint32_t>(position) - 1 + segLength > specification.recordLength)
                return statusInvalidKeyPosition;
            if (key.length + segLength > maxKeyLength) return statusInvalidKeyLength;
            key.segments.push_back({static_cast<uint16_t>(position - 1), segLength, flags});
            key.length = static_cast<uint16_t>(key.length + segLength);
            if (flags & segmentAlternate) wantsAlternate = true;
            if ((flags & 0xFF & segmentContinues) == 0) break;
        }
        key.duplicates = (key.segments.front().flags & segmentDuplicates) != 0;
        specification.keys.push_back(std::move(key));
    }

    // The collating sequence follows the last descriptor; stat gives it back as
    // create received it.
    // A sequence that no segment uses is kept too when its identifying byte is
    // set; blanks or zeros there are only the padding of the caller's buffer.
    std::size_t end = offset;
    if (length >= offset + acsSize) {
        const uint8_t id = data[offset];
        if (wantsAlternate || (id != ' ' && id != 0)) {
            specification.hasAlternate = true;
            std::memcpy(specification.alternate, data + offset + 9, 256);
            end = offset + acsSize;
        }
    } else if (wantsAlternate) {
        return statusInvalidAcs;
    }
    specification.block.assign(reinterpret_cast<const char*>(data), end);
    std::memset(specification.block.data() + recordCountOffset, 0, 4);
    return statusOk;
}

std::string extractKey(const KeyDefinition& key, const uint8_t* record) {
    std::string out;
    out.reserve(key.length);
    for (const KeySegment& s : key.segments) out.append(reinterpret_cast<const char*>(record + s.offset), s.length);
    return out;
}

std::string normalizeKey(const FileSpecification& specification, const KeyDefinition& key, const uint8_t* value,
                         std::size_t valueLength) {
    std::string out(key.length, '\0');
    if (value != nullptr) std::memcpy(out.data(), value, std::min<std::size_t>(valueLength, key.length));
    auto* p = reinterpret_cast<uint8_t*>(out.data());
    for (const KeySegment& s : key.segments) {
        uint8_t* b = p;
        p += s.length;
        if (s.flags & segmentBinary) {
            std::reverse(b, p);
        } else if ((s.flags & segmentAlternate) && specification.hasAlternate) {
            for (uint8_t* q = b; q < p; ++q) *q = specification.alternate[*q];
        } else if (s.flags & segmentNoCase) {
            for (uint8_t* q = b; q < p; ++q)
                if (*q >= 'a' && *q <= 'z') *q = static_cast<uint8_t>(*q - 'a' + 'A');
        }
        if (s.flags & segmentDescending)
            for (uint8_t* q = b; q < p; ++q) *q = static_cast<uint8_t>(~*q);
    }
    return out;
}

}  // namespace recman
