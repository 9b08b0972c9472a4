// The pages as a plain text file: UTF-8, one line a line with its trailing blanks
// removed, a form feed before each page after the first.
#pragma once

#include <string>

#include "page_layout.h"

namespace zelprint {

std::string renderText(const PrintDocument& doc);

}  // namespace zelprint
