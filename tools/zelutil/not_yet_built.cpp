// Commands whose implementation has not landed yet answer with a clear message.
// Each command moves to its own file as it is built.
#include <cstdio>

#include "tools/zelutil/commands.h"

namespace {
int notYet(const char* name) {
    std::fprintf(stderr, "zelutil %s: not available in this build\n", name);
    return 1;
}
}  // namespace

int zelutilCreate(int, char**) { return notYet("create"); }
int zelutilLoad(int, char**) { return notYet("load"); }
int zelutilSave(int, char**) { return notYet("save"); }
int zelutilStat(int, char**) { return notYet("stat"); }
int zelutilReport(int, char**) { return notYet("report"); }
int zelutilKeys(int, char**) { return notYet("keys"); }
int zelutilDemo(int, char**) { return notYet("demo"); }
