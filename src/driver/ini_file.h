// INI file reader: one key of one section of one file, read afresh on every call.
#pragma once

#include <string>
#include <string_view>

std::string getIniValue(std::string_view fileName, std::string_view section, std::string_view key);
