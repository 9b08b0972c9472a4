// Destinations. The spooler is asked through its own commands (lpstat, lp), so
// that whatever queue the installation set up under the old device name is used.
#include "destination.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "platform/os/os.h"
#include "platform/term/code_page.h"

namespace zelprint {

namespace {

bool endsWithNoCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        const auto a = static_cast<unsigned char>(text[text.size() - suffix.size() + i]);
        if (std::tolower(a) != suffix[i]) return false;
    }
    return true;
}

bool equalsNoCase(std::string_view a, std::string_view upper) {
    if (a.size() != upper.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != upper[i]) return false;
    return true;
}

// Runs a small shell script with its arguments ("$1", "$2", ...), never through a
// command line built from the names, so a queue or file name cannot inject commands.
os::ProcessResult runScript(const std::string& script, const std::vector<std::string>& args) {
    std::vector<std::string> all{"-c", script, "ZELPRINT"};
    all.insert(all.end(), args.begin(), args.end());
    return os::runAndWait("/bin/sh", all);
}

}  // namespace

Destination classifyDestination(std::string_view deviceCp850) {
    Destination d;
    const std::size_t first = deviceCp850.find_first_not_of(' ');
    const std::size_t last = deviceCp850.find_last_not_of(' ');
    const std::string_view device =
        first == std::string_view::npos ? std::string_view{} : deviceCp850.substr(first, last - first + 1);
    d.name = term::cp850ToUtf8(device);
    if (device.empty() || equalsNoCase(device, "PANTALLA")) {
        d.kind = DestinationKind::Screen;
    } else if (endsWithNoCase(device, ".pdf")) {
        d.kind = DestinationKind::PdfFile;
        d.path = d.name;
    } else if (endsWithNoCase(device, ".txt")) {
        d.kind = DestinationKind::TextFile;
        d.path = d.name;
    } else {
        d.kind = DestinationKind::Device;
    }
    return d;
}

bool programOnPath(const std::string& program) {
    const std::string path = os::getEnv("PATH");
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(':', start);
        if (end == std::string::npos) end = path.size();
        std::string dir = path.substr(start, end - start);
        if (dir.empty()) dir = ".";
        const std::string candidate = dir + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0 && !os::isDirectory(candidate)) return true;
        start = end + 1;
    }
    return false;
}

bool printerQueueExists(const std::string& queue) {
    if (queue.empty() || !programOnPath("lpstat")) return false;
    const os::ProcessResult r = runScript("exec lpstat -p \"$1\" >/dev/null 2>&1", {queue});
    return r.started && r.exitCode == 0;
}

bool sendToPrinter(const std::string& queue, const std::string& pdfPath, std::string& error) {
    if (!programOnPath("lp")) {
        error = "the print spooler command lp is not installed";
        return false;
    }
    const os::ProcessResult r = runScript("exec lp -d \"$1\" -- \"$2\" >/dev/null", {queue, os::mapPath(pdfPath)});
    if (!r.started) {
        error = "lp could not be started: " + r.error;
        return false;
    }
    if (r.exitCode != 0) {
        error = "lp ended with exit code " + std::to_string(r.exitCode);
        return false;
    }
    return true;
}

void showOnScreen(const std::string& textPath, const std::string& text) {
    // The text is UTF-8 whatever the locale says; tell less so unless the user chose.
    if (os::getEnv("LESSCHARSET").empty()) ::setenv("LESSCHARSET", "utf-8", 1);
    const std::string pager = os::getEnv("PAGER");
    if (!textPath.empty()) {
        os::ProcessResult r;
        if (!pager.empty())
            r = runScript("exec " + pager + " \"$1\"", {os::mapPath(textPath)});
        else if (programOnPath("less"))
            // Report lines are 136 columns: -S keeps each one on its row (the arrows
            // scroll sideways) instead of folding it into the next.
            r = runScript("exec less -S \"$1\"", {os::mapPath(textPath)});
        // 126 and 127: the shell found no pager to run.
        if (r.started && r.exitCode != 126 && r.exitCode != 127) return;
        if (!pager.empty()) std::fprintf(stderr, "ZELPRINT: the pager \"%s\" could not be run\n", pager.c_str());
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

}  // namespace zelprint
