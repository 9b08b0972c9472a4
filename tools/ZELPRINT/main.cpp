// ZELPRINT: lays out the report's print file into pages and sends them where its
// DEVICE line says (a file, a printer queue or the screen).
#include "zelprint_run.h"

int main(int argc, char** argv) { return zelprint::runZelprint(argc, argv); }
