// Key echo (being written; answers with a clear message until then).
#include <cstdio>

#include "tools/zelutil/commands.h"

int zelutilKeys(int, char**) {
    std::fputs("zelutil: this command is not available in this build\n", stderr);
    return 1;
}
