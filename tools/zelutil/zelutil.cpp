// zelutil: the companion utility of the module — data files, the report without
// the form, a key-echo mode and the demo installation.
#include <cstdio>
#include <cstring>

#include "tools/zelutil/commands.h"

namespace {

struct Command {
    const char* name;
    int (*run)(int, char**);
    const char* summary;
};

const Command commands[] = {
    {"create", zelutilCreate, "create DATAFILE XDF         create an empty data file from a dictionary"},
    {"load", zelutilLoad, "load DATAFILE SEQFILE       insert the records of a sequential file"},
    {"save", zelutilSave, "save DATAFILE SEQFILE       write all records in key order"},
    {"stat", zelutilStat, "stat DATAFILE               record length, keys, record count"},
    {"report", zelutilReport, "report --from D --to D ...  write the receipts report without the form"},
    {"keys", zelutilKeys, "keys                        show the code of every key pressed"},
    {"demo", zelutilDemo, "demo ROOT                   lay out a demo installation with sample data"},
};

void usage(std::FILE* out) {
    std::fputs("usage: zelutil COMMAND [ARGS]   (zelutil COMMAND --help for details)\n\ncommands:\n", out);
    for (const Command& c : commands) std::fprintf(out, "  %s\n", c.summary);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        usage(stderr);
        return 2;
    }
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "help")) {
        usage(stdout);
        return 0;
    }
    for (const Command& c : commands)
        if (!std::strcmp(argv[1], c.name)) return c.run(argc - 2, argv + 2);
    std::fprintf(stderr, "zelutil: unknown command '%s'\n", argv[1]);
    usage(stderr);
    return 2;
}
