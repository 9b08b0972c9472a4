// A data dictionary of any bytes: read and decoded, then its specification handed
// to the record manager's create, followed by stat, one insert and a read, in a
// scratch folder. The engine must refuse what it cannot build and never read past
// the bytes it was offered.
#include <cstring>
#include <vector>

#include "data/data_build.h"
#include "fuzz/fuzz_support.h"
#include "platform/recman/btrcall.h"

namespace {

int16_t call(uint16_t op, uint8_t* block, std::vector<uint8_t>& data, uint32_t& length, std::vector<uint8_t>& key,
             uint8_t keyLength, int8_t keyNumber) {
    return btrcall(op, block, data.empty() ? nullptr : data.data(), &length, key.data(), keyLength, keyNumber);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = fuzzsupport::scratchFolder("dictionary");
    static const std::string xdf = folder + "FUZZ.xdf";
    static const std::string dat = folder + "FUZZ.dat";
    fuzzsupport::InputReader in(data, size);
    const uint8_t flags = in.byte();
    const int8_t readKey = static_cast<int8_t>(in.byte() % 4);
    fuzzsupport::writeFile(xdf, in.rest());

    std::string specification;
    if (!readDictionary(xdf, specification)) return 0;
    DataFileSpec spec;
    if (decodeSpecification(specification, spec)) {
        // What the encoder makes of a decoded block must decode the same.
        DataFileSpec again;
        FUZZ_CHECK(decodeSpecification(encodeSpecification(spec), again));
        FUZZ_CHECK(again.recordLength == spec.recordLength && again.keys.size() == spec.keys.size());
    }

    // create (14): exactly the file specification block, so a read past it is caught.
    uint8_t block[128] = {};
    std::vector<uint8_t> buffer(specification.begin(), specification.end());
    std::vector<uint8_t> key(256, 0);
    std::memcpy(key.data(), dat.data(), dat.size());
    uint32_t length = static_cast<uint32_t>(buffer.size());
    const int8_t createMode = (flags & 1) ? recman::createNoReplace : 0;
    if (call(recman::opCreate, block, buffer, length, key, static_cast<uint8_t>(dat.size()), createMode) != 0) return 0;

    std::vector<uint8_t> owner(8, 0);
    length = 0;
    if (call(recman::opOpen, block, owner, length, key, static_cast<uint8_t>(dat.size()), 0) == 0) {
        // stat (15) into the buffer zelutil uses.
        std::vector<uint8_t> stat(1536, ' ');
        std::vector<uint8_t> statKey(256, 0);
        length = static_cast<uint32_t>(stat.size());
        int16_t status = call(recman::opStat, block, stat, length, statKey, 255, 0);
        const uint32_t recordLength = status == 0 ? static_cast<uint32_t>(stat[0] | stat[1] << 8) : 16;

        // insert (2): a record of the file's length, then one a little longer.
        std::vector<uint8_t> record(recordLength + (flags & 2 ? 7 : 0));
        for (size_t i = 0; i < record.size(); ++i) record[i] = static_cast<uint8_t>(i * 7 + flags);
        std::vector<uint8_t> recordKey(256, 0);
        length = static_cast<uint32_t>(record.size());
        call(recman::opInsert, block, record, length, recordKey, 255, 0);

        // a read (12, get first) on the key the input chose, into a buffer of the record's length.
        std::vector<uint8_t> readBack(recordLength);
        length = static_cast<uint32_t>(readBack.size());
        call(recman::opGetFirst, block, readBack, length, recordKey, 255, readKey);
        FUZZ_CHECK(length <= readBack.size());

        std::vector<uint8_t> none(1, 0);
        length = 0;
        call(recman::opClose, block, none, length, none, 0, 0);
    }
    os::removeFile(dat);
    return 0;
}
