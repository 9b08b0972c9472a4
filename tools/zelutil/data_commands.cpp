// Data file commands: create, load, save, stat.
//
// The sequential file of load and save is the record manager's classic unload
// format, so data unloaded from an existing installation loads as it is: for each
// record its length in ASCII decimal, a comma, exactly that many bytes, CR LF; the
// file ends with Ctrl-Z. Records may hold any byte (CR, LF and Ctrl-Z included), so
// the reader goes by the length prefix and never by lines.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "data/data_build.h"
#include "platform/os/os.h"
#include "platform/recman/btrcall.h"
#include "tools/zelutil/commands.h"

namespace {

constexpr int exitOk = 0;
constexpr int exitFailure = 1;
constexpr int exitUsage = 2;
constexpr char endOfFileMark = 0x1A;
constexpr long long progressEvery = 10000;
// Largest record the engine keeps (variable-length files); the read buffer of save.
constexpr std::size_t largestRecord = 1u << 20;

const char* statusText(int16_t status) {
    switch (status) {
        case recman::statusIoError: return "I/O error";
        case recman::statusFileNotOpen: return "file not open";
        case recman::statusDuplicateKey: return "duplicate value on a unique key";
        case recman::statusInvalidKeyNumber: return "no such key";
        case recman::statusFileNotFound: return "file not found";
        case recman::statusDataBufferTooShort: return "record longer than the buffer";
        case recman::statusCreateIoError: return "cannot create the file";
        case recman::statusInvalidKeyCount: return "bad number of keys";
        case recman::statusInvalidKeyPosition: return "key segment outside the record";
        case recman::statusInvalidRecordLength: return "bad record length";
        case recman::statusInvalidKeyLength: return "bad key length";
        case recman::statusNotADataFile: return "not a data file";
        case recman::statusTransactionActive: return "a transaction is already active";
        case recman::statusAccessDenied: return "access denied";
        case recman::statusInvalidAcs: return "bad collating sequence";
        case recman::statusFileExists: return "file already exists";
        case recman::statusRecordLocked: return "record locked by another program";
        case recman::statusFileLocked: return "file locked by another program";
        default: return "record manager error";
    }
}

int fail(const char* command, const std::string& what) {
    std::fprintf(stderr, "zelutil %s: %s\n", command, what.c_str());
    return exitFailure;
}

std::string statusMessage(int16_t status) { return "status " + std::to_string(status) + ", " + statusText(status); }

bool wantsHelp(int argc, char** argv) {
    for (int i = 0; i < argc; ++i)
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) return true;
    return false;
}

int usage(const char* text, bool asked) {
    std::fputs(text, asked ? stdout : stderr);
    return asked ? exitOk : exitUsage;
}

// Positional arguments; false when an unknown option is present.
bool positionals(int argc, char** argv, std::vector<std::string>& out) {
    for (int i = 0; i < argc; ++i) {
        if (argv[i][0] == '-' && argv[i][1] != '\0') return false;
        out.push_back(argv[i]);
    }
    return true;
}

// An open data file for the commands: its position block and path.
struct OpenData {
    uint8_t block[128] = {};
    bool open = false;
};

int16_t openData(OpenData& f, const std::string& path, int8_t mode) {
    uint8_t key[256] = {};
    if (path.size() > 255) return recman::statusFileNotFound;
    std::memcpy(key, path.data(), path.size());
    uint8_t owner[1] = {0};
    uint32_t length = 0;
    int16_t status = btrcall(recman::opOpen, f.block, owner, &length, key, static_cast<uint8_t>(path.size()), mode);
    f.open = status == 0;
    return status;
}

void closeData(OpenData& f) {
    if (!f.open) return;
    uint8_t none[1] = {0};
    uint32_t length = 0;
    btrcall(recman::opClose, f.block, none, &length, none, 0, 0);
    f.open = false;
}

int16_t statData(OpenData& f, std::string& spec) {
    std::vector<uint8_t> buffer(1536, ' ');
    uint8_t key[256] = {};
    uint32_t length = static_cast<uint32_t>(buffer.size());
    int16_t status = btrcall(recman::opStat, f.block, buffer.data(), &length, key, 255, 0);
    if (status == 0) spec.assign(reinterpret_cast<const char*>(buffer.data()), length);
    return status;
}

// ---- create -------------------------------------------------------------

const char createHelp[] =
    "usage: zelutil create DATAFILE XDF\n"
    "Creates an empty data file from a data dictionary (2-byte length, then the\n"
    "file specification). An existing data file is not replaced.\n";

// ---- load ---------------------------------------------------------------

const char loadHelp[] =
    "usage: zelutil load DATAFILE SEQFILE\n"
    "Inserts the records of a sequential file (length, comma, the record's bytes,\n"
    "CR LF; Ctrl-Z at the end) into an existing data file, all in one transaction:\n"
    "if any record is refused, the data file is left as it was.\n";

// Reads the sequential file record by record.
struct SequentialReader {
    std::FILE* in = nullptr;
    long long offset = 0;  // bytes consumed so far

    int get() {
        int c = std::getc(in);
        if (c != EOF) ++offset;
        return c;
    }
};

enum class SeqResult { record, end, bad };

// One record into `record`; on a bad record `why` says what is wrong.
SeqResult readSequentialRecord(SequentialReader& r, std::string& record, std::string& why) {
    int c = r.get();
    if (c == EOF || c == endOfFileMark) return SeqResult::end;
    std::size_t length = 0;
    int digits = 0;
    while (c >= '0' && c <= '9') {
        if (++digits > 7) {
            why = "length prefix too long";
            return SeqResult::bad;
        }
        length = length * 10 + static_cast<std::size_t>(c - '0');
        c = r.get();
    }
    if (digits == 0 || c != ',') {
        why = c == EOF ? "file ends inside the length prefix" : "bad length prefix (expected digits and a comma)";
        return SeqResult::bad;
    }
    if (length > largestRecord) {
        why = "record length " + std::to_string(length) + " too large";
        return SeqResult::bad;
    }
    record.resize(length);
    std::size_t got = length ? std::fread(record.data(), 1, length, r.in) : 0;
    r.offset += static_cast<long long>(got);
    if (got != length) {
        why = "file ends inside the record (" + std::to_string(got) + " of " + std::to_string(length) + " bytes)";
        return SeqResult::bad;
    }
    if (r.get() != '\r' || r.get() != '\n') {
        why = "record not followed by CR LF (length prefix does not match the record)";
        return SeqResult::bad;
    }
    return SeqResult::record;
}

// ---- save ---------------------------------------------------------------

const char saveHelp[] =
    "usage: zelutil save DATAFILE SEQFILE [--key N]\n"
    "Writes every record of the data file to a sequential file, in the order of\n"
    "key N (0 by default): length, comma, the record's bytes, CR LF; Ctrl-Z at the end.\n";

// ---- stat ---------------------------------------------------------------

const char statHelp[] =
    "usage: zelutil stat DATAFILE\n"
    "Shows the record length, page size, keys with their segments, and the number\n"
    "of records.\n";

std::string flagWords(uint16_t flags) {
    static const struct {
        uint16_t bit;
        const char* word;
    } words[] = {{keyflag::duplicates, "duplicates"},   {keyflag::modifiable, "modifiable"},
                 {keyflag::binary, "binary"},           {0x0008, "null"},
                 {keyflag::segmented, "segmented"},     {keyflag::collating, "ACS"},
                 {keyflag::descending, "descending"},   {0x0400, "case-insensitive"}};
    std::string out;
    for (const auto& w : words) {
        if (!(flags & w.bit)) continue;
        if (!out.empty()) out += ", ";
        out += w.word;
    }
    return out.empty() ? "none" : out;
}

}  // namespace

int zelutilCreate(int argc, char** argv) {
    const bool help = wantsHelp(argc, argv);
    std::vector<std::string> args;
    if (help || !positionals(argc, argv, args) || args.size() != 2) return usage(createHelp, help);
    const std::string& data = args[0];
    const std::string& xdf = args[1];
    std::string spec;
    if (!readDictionary(xdf, spec))
        return fail("create", xdf + ": cannot read the dictionary (missing, or shorter than its length field)");
    if (data.size() > 255) return fail("create", data + ": name too long");
    int16_t status = createDataFile(data, spec);
    if (status != 0) return fail("create", data + ": " + statusMessage(status));
    return exitOk;
}

int zelutilLoad(int argc, char** argv) {
    const bool help = wantsHelp(argc, argv);
    std::vector<std::string> args;
    if (help || !positionals(argc, argv, args) || args.size() != 2) return usage(loadHelp, help);
    const std::string& data = args[0];
    const std::string& seq = args[1];

    SequentialReader reader;
    reader.in = os::openFile(seq, "rb");
    if (!reader.in) return fail("load", seq + ": " + std::strerror(errno));

    DataFileLoad load;
    int16_t status = beginDataFileLoad(load, data);
    if (status != 0) {
        std::fclose(reader.in);
        return fail("load", data + ": " + statusMessage(status));
    }
    const bool showProgress = isatty(STDERR_FILENO);
    std::string record, why;
    long long number = 0;
    for (;;) {
        const long long start = reader.offset;
        SeqResult r = readSequentialRecord(reader, record, why);
        if (r == SeqResult::end) break;
        ++number;
        if (r == SeqResult::record) {
            status = loadDataRecord(load, record);
            if (status == recman::statusInvalidRecordLength)
                why = "record length " + std::to_string(record.size()) + " does not suit the file (record length " +
                      std::to_string(load.recordLength) + ")";
            else if (status != 0)
                why = statusMessage(status);
            else {
                if (showProgress && number % progressEvery == 0) std::fprintf(stderr, "\r%lld records", number);
                continue;
            }
        }
        std::fclose(reader.in);
        endDataFileLoad(load, false);
        if (showProgress && number > progressEvery) std::fputc('\n', stderr);
        return fail("load", seq + ": record " + std::to_string(number) + " at byte " + std::to_string(start) + ": " +
                                why + "; " + data + " is unchanged");
    }
    const bool readError = std::ferror(reader.in) != 0;
    std::fclose(reader.in);
    if (readError) {
        endDataFileLoad(load, false);
        return fail("load", seq + ": read error; " + data + " is unchanged");
    }
    status = endDataFileLoad(load, true);
    if (showProgress && number >= progressEvery) std::fprintf(stderr, "\r%lld records\n", number);
    if (status != 0) return fail("load", data + ": " + statusMessage(status) + " while committing; nothing loaded");
    return exitOk;
}

int zelutilSave(int argc, char** argv) {
    const bool help = wantsHelp(argc, argv);
    std::vector<std::string> args;
    long keyNumber = 0;
    bool ok = true;
    for (int i = 0; i < argc && ok; ++i) {
        if (!std::strcmp(argv[i], "--key")) {
            char* end = nullptr;
            if (i + 1 >= argc) {
                ok = false;
                break;
            }
            keyNumber = std::strtol(argv[++i], &end, 10);
            ok = *argv[i] != '\0' && *end == '\0' && keyNumber >= 0 && keyNumber <= 127;
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            ok = help;
        } else {
            args.push_back(argv[i]);
        }
    }
    if (help || !ok || args.size() != 2) return usage(saveHelp, help);
    const std::string& data = args[0];
    const std::string& seq = args[1];

    OpenData f;
    int16_t status = openData(f, data, recman::openNormal);
    if (status != 0) return fail("save", data + ": " + statusMessage(status));
    std::string specBytes;
    DataFileSpec spec;
    status = statData(f, specBytes);
    if (status != 0 || !decodeSpecification(specBytes, spec)) {
        closeData(f);
        return fail("save", data + ": cannot read the file statistics");
    }
    if (static_cast<std::size_t>(keyNumber) >= spec.keys.size()) {
        closeData(f);
        return fail("save", data + ": no key " + std::to_string(keyNumber) + " (the file has " +
                                std::to_string(spec.keys.size()) + ")");
    }

    // Written beside the target and renamed over it at the end, so a failed save
    // leaves no half-written file.
    const std::string target = os::mapPath(seq);
    const std::string temporary = target + ".part";
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (!out) {
        closeData(f);
        return fail("save", seq + ": " + std::strerror(errno));
    }
    std::vector<uint8_t> buffer(largestRecord);
    uint8_t key[256] = {};
    uint16_t op = recman::opGetFirst;
    bool writeOk = true;
    for (;;) {
        uint32_t length = static_cast<uint32_t>(buffer.size());
        status = btrcall(op, f.block, buffer.data(), &length, key, 255, static_cast<int8_t>(keyNumber));
        if (status != 0) break;
        op = recman::opGetNext;
        writeOk = std::fprintf(out, "%u,", length) > 0 && std::fwrite(buffer.data(), 1, length, out) == length &&
                  std::fputs("\r\n", out) >= 0;
        if (!writeOk) break;
    }
    closeData(f);
    if (writeOk) writeOk = std::fputc(endOfFileMark, out) != EOF;
    writeOk = (std::fclose(out) == 0) && writeOk;
    if (!writeOk) {
        std::remove(temporary.c_str());
        return fail("save", seq + ": write error");
    }
    if (status != recman::statusEndOfFile) {
        std::remove(temporary.c_str());
        return fail("save", data + ": " + statusMessage(status) + " while reading");
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        std::remove(temporary.c_str());
        return fail("save", seq + ": " + std::strerror(errno));
    }
    return exitOk;
}

int zelutilStat(int argc, char** argv) {
    const bool help = wantsHelp(argc, argv);
    std::vector<std::string> args;
    if (help || !positionals(argc, argv, args) || args.size() != 1) return usage(statHelp, help);
    const std::string& data = args[0];
    OpenData f;
    int16_t status = openData(f, data, recman::openNormal);
    if (status != 0) return fail("stat", data + ": " + statusMessage(status));
    std::string specBytes;
    status = statData(f, specBytes);
    closeData(f);
    DataFileSpec spec;
    if (status != 0) return fail("stat", data + ": " + statusMessage(status));
    if (!decodeSpecification(specBytes, spec)) return fail("stat", data + ": the file statistics are damaged");

    std::printf("File: %s\n", data.c_str());
    std::printf("Record length: %u%s\n", spec.recordLength, (spec.fileFlags & 0x0001) ? " (variable-length records)" : "");
    std::printf("Page size: %u\n", spec.pageSize);
    std::printf("Records: %u\n", spec.recordCount);
    std::printf("Keys: %zu\n", spec.keys.size());
    for (std::size_t k = 0; k < spec.keys.size(); ++k) {
        unsigned length = 0;
        for (const KeySegmentSpec& s : spec.keys[k]) length += s.length;
        const bool duplicates = spec.keys[k][0].flags & keyflag::duplicates;
        std::printf("  Key %zu: %u bytes, %zu segment%s, %s\n", k, length, spec.keys[k].size(),
                    spec.keys[k].size() == 1 ? "" : "s", duplicates ? "duplicates allowed" : "unique");
        for (std::size_t s = 0; s < spec.keys[k].size(); ++s) {
            const KeySegmentSpec& seg = spec.keys[k][s];
            std::printf("    segment %zu: position %u, length %u, flags %s\n", s + 1, seg.position, seg.length,
                        flagWords(seg.flags).c_str());
        }
    }
    if (spec.hasCollatingSequence) {
        std::string name = spec.collatingName;
        while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.pop_back();
        std::printf("Alternate collating sequence: %s\n", name.c_str());
    }
    return exitOk;
}
