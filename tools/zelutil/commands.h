// The commands of zelutil. Each takes the arguments after its name and returns the
// exit code: 0 success, 1 failure (one line on stderr naming the file), 2 bad usage.
#pragma once

int zelutilCreate(int argc, char** argv);
int zelutilLoad(int argc, char** argv);
int zelutilSave(int argc, char** argv);
int zelutilStat(int argc, char** argv);
int zelutilReport(int argc, char** argv);
int zelutilKeys(int argc, char** argv);
int zelutilDemo(int argc, char** argv);
