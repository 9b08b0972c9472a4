// Program driver. (The main loop arrives with the form driver.)
#include "driver/program_driver.h"

ProgramDriverState programDriver;

int runProgram() { return 0; }
