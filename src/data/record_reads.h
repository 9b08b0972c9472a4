// Reads by key, by step and by position into the caller's record buffer; lock
// modes and waiting out another program's locks; collating form of key values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

void readAtKey(int16_t fileNumber, int16_t keyNumber, std::string_view keyValue, int16_t direction,
               int16_t& status);
void readNext(int16_t fileNumber, int16_t count, int16_t& status);
int32_t readByPosition(int16_t fileNumber, int32_t position);
void setLockMode(int16_t fileNumber, std::string_view letters, int16_t& status);
std::string collateKey(std::string_view value, int16_t fileNumber);
std::string currentKeyCollated(int16_t fileNumber);
void runReadOperation(int16_t slot, uint16_t code, int16_t& status);
