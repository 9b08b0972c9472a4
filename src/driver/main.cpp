// RPTREBUT: the receipts report module. It reads no command-line argument and
// always ends with exit code 0.
#include "driver/program_driver.h"

int main() { return runProgram(); }
