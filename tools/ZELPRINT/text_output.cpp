// Plain text pages. The empty lines at the foot of a page are left out; the form
// feed that begins the next page moves a printer or a pager on just the same.
#include "text_output.h"

#include "platform/term/code_page.h"

namespace zelprint {

std::string renderText(const PrintDocument& doc) {
    std::string out;
    bool firstPage = true;
    for (const PrintPage& page : doc.pages) {
        if (!firstPage) out += '\f';
        firstPage = false;
        std::size_t used = page.lines.size();
        while (used > 0 && page.lines[used - 1].find_first_not_of(' ') == std::string::npos) --used;
        for (std::size_t i = 0; i < used; ++i) {
            const std::string& line = page.lines[i];
            const std::size_t last = line.find_last_not_of(' ');
            if (last != std::string::npos) out += term::cp850ToUtf8(std::string_view(line).substr(0, last + 1));
            out += '\n';
        }
    }
    return out;
}

}  // namespace zelprint
