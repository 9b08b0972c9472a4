#include "driver/ini_file.h"

std::string getIniValue(std::string_view, std::string_view, std::string_view) { return {}; }
