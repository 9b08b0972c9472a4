// The program driver: start-up, the main loop (form, report, print program) and shutdown.
#pragma once

#include <cstdint>
#include <string>

struct ProgramDriverState {
    std::string moduleName;
    int16_t dataStatus = 0;
    int16_t formKey = 0;
};
extern ProgramDriverState programDriver;

// Runs the module; returns the exit code (always 0).
int runProgram();
