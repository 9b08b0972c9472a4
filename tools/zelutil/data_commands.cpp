// Data file commands: create, load, save, stat (being written; answers with a clear message until then).
#include <cstdio>

#include "tools/zelutil/commands.h"

int zelutilCreate(int, char**) {
    std::fputs("zelutil: this command is not available in this build\n", stderr);
    return 1;
}
int zelutilLoad(int, char**) {
    std::fputs("zelutil: this command is not available in this build\n", stderr);
    return 1;
}
int zelutilSave(int, char**) {
    std::fputs("zelutil: this command is not available in this build\n", stderr);
    return 1;
}
int zelutilStat(int, char**) {
    std::fputs("zelutil: this command is not available in this build\n", stderr);
    return 1;
}
