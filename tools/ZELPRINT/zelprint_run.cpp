// Started by the report with no arguments, the program reads the session's print
// file and follows its DEVICE line. Whatever happens to the destination, the pages
// stay beside the print file as zelprint.txt and zelprint.pdf, so a report is never
// lost because a printer or a folder was not there.
#include "zelprint_run.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "destination.h"
#include "driver/session_settings.h"
#include "pdf_output.h"
#include "platform/os/os.h"
#include "print_file_reader.h"
#include "text_output.h"

namespace zelprint {

namespace {

constexpr std::size_t noticesShown = 100;

constexpr const char* usageText =
    "Usage: ZELPRINT [--input FILE] [--pdf OUT.pdf] [--text OUT.txt]\n"
    "\n"
    "Lays out a print file of the report into pages.\n"
    "\n"
    "Without options the print file is zelprint.tmp in the session's temporary folder\n"
    "(ZELTMP) and the pages go where its DEVICE line says:\n"
    "  a name ending in .pdf or .txt   that file is written\n"
    "  a printer queue                 the pages are printed with lp\n"
    "  empty or PANTALLA               the pages are shown in $PAGER (else less)\n"
    "The pages are also kept beside the print file as zelprint.txt and zelprint.pdf.\n"
    "\n"
    "  --input FILE   read this print file instead\n"
    "  --pdf FILE     write the pages as a PDF (A4 landscape) to FILE\n"
    "  --text FILE    write the pages as UTF-8 text, a form feed between pages\n"
    "  --help         show this text\n"
    "With --pdf or --text only those files are written and the DEVICE line is not used.\n"
    "\n"
    "Exit codes: 0 done, 1 failure, 2 bad usage.\n";

struct Options {
    std::string input;
    std::string pdfOut;
    std::string textOut;
    bool help = false;
};

// false after a message on stderr.
bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (const std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        std::string* target = arg == "--input" ? &options.input
                              : arg == "--pdf" ? &options.pdfOut
                              : arg == "--text" ? &options.textOut
                                                : nullptr;
        if (!target) {
            std::fprintf(stderr, "ZELPRINT: unknown option \"%s\"\n", argv[i]);
            return false;
        }
        if (!hasValue) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "ZELPRINT: %s needs a file name\n", arg.c_str());
                return false;
            }
            value = argv[++i];
        }
        if (value.empty()) {
            std::fprintf(stderr, "ZELPRINT: %s needs a file name\n", arg.c_str());
            return false;
        }
        if (!target->empty()) {
            std::fprintf(stderr, "ZELPRINT: %s given twice\n", arg.c_str());
            return false;
        }
        *target = value;
    }
    return true;
}

void reportNotices(const std::string& input, const PrintDocument& doc) {
    const std::string shown = os::mapPath(input);
    std::size_t count = 0;
    for (const Notice& n : doc.notices) {
        if (count++ == noticesShown) break;
        if (n.line > 0)
            std::fprintf(stderr, "ZELPRINT: %s line %ld: %s\n", shown.c_str(), n.line, n.text.c_str());
        else
            std::fprintf(stderr, "ZELPRINT: %s: %s\n", shown.c_str(), n.text.c_str());
    }
    const std::size_t more = doc.notices.size() - std::min(doc.notices.size(), noticesShown) + doc.noticesNotKept;
    if (more > 0) std::fprintf(stderr, "ZELPRINT: %s: %zu more lines skipped or changed\n", shown.c_str(), more);
}

bool writeOutput(const std::string& name, const std::string& contents, std::string& error) {
    errno = 0;
    if (os::writeFileAtomically(name, contents)) return true;
    error = errno ? std::strerror(errno) : "write failed";
    return false;
}

// The folder of a file name, with its separator; "" for a bare name.
std::string folderOf(const std::string& name) {
    const std::size_t sep = name.find_last_of("\\/");
    return sep == std::string::npos ? std::string() : name.substr(0, sep + 1);
}

int writeRequestedOutputs(const Options& options, const std::string& text, bool pdfRendered, const std::string& pdf,
                          const std::string& pdfError) {
    int status = 0;
    std::string error;
    if (!options.pdfOut.empty()) {
        if (!pdfRendered) {
            std::fprintf(stderr, "ZELPRINT: the PDF could not be made: %s\n", pdfError.c_str());
            status = 1;
        } else if (!writeOutput(options.pdfOut, pdf, error)) {
            std::fprintf(stderr, "ZELPRINT: cannot write %s: %s\n", os::mapPath(options.pdfOut).c_str(), error.c_str());
            status = 1;
        }
    }
    if (!options.textOut.empty() && !writeOutput(options.textOut, text, error)) {
        std::fprintf(stderr, "ZELPRINT: cannot write %s: %s\n", os::mapPath(options.textOut).c_str(), error.c_str());
        status = 1;
    }
    return status;
}

struct KeptFiles {
    std::string input, textPath, pdfPath;
    bool textKept = false, pdfKept = false;
};

// A kept file as the operator can find it again: the full path.
std::string fullPath(const std::string& name) {
    std::string path = os::mapPath(name);
    if (!path.empty() && path[0] != '/') {
        std::string dir = os::currentDirectory();
        if (!dir.empty() && dir.back() != '/') dir += '/';
        path = dir + path;
    }
    return path;
}

// A failed delivery: say why, and where the pages can still be found.
int deliveryFailed(const std::string& why, const KeptFiles& kept) {
    std::fprintf(stderr, "ZELPRINT: the report was not delivered: %s\n", why.c_str());
    if (kept.pdfKept || kept.textKept) {
        std::fprintf(stderr, "ZELPRINT: the pages are kept in");
        if (kept.pdfKept) std::fprintf(stderr, " %s", fullPath(kept.pdfPath).c_str());
        if (kept.pdfKept && kept.textKept) std::fprintf(stderr, " and");
        if (kept.textKept) std::fprintf(stderr, " %s", fullPath(kept.textPath).c_str());
        std::fprintf(stderr, "\n");
    } else {
        std::fprintf(stderr, "ZELPRINT: the pages could not be kept either; the print file %s is left as it is\n",
                     fullPath(kept.input).c_str());
    }
    return 1;
}

int deliverByDevice(const std::string& input, const PrintDocument& doc, const std::string& text, bool pdfRendered,
                    const std::string& pdf, const std::string& pdfError) {
    KeptFiles kept;
    kept.input = input;
    const std::string folder = folderOf(input);
    kept.textPath = folder + "zelprint.txt";
    kept.pdfPath = folder + "zelprint.pdf";
    std::string error;
    kept.textKept = writeOutput(kept.textPath, text, error);
    if (!kept.textKept)
        std::fprintf(stderr, "ZELPRINT: cannot keep %s: %s\n", os::mapPath(kept.textPath).c_str(), error.c_str());
    if (pdfRendered) {
        kept.pdfKept = writeOutput(kept.pdfPath, pdf, error);
        if (!kept.pdfKept)
            std::fprintf(stderr, "ZELPRINT: cannot keep %s: %s\n", os::mapPath(kept.pdfPath).c_str(), error.c_str());
    } else {
        std::fprintf(stderr, "ZELPRINT: the PDF could not be made: %s\n", pdfError.c_str());
    }

    const Destination dest = classifyDestination(doc.device);
    switch (dest.kind) {
    case DestinationKind::Screen:
        std::fflush(stderr);
        showOnScreen(kept.textKept ? kept.textPath : std::string(), text);
        return 0;
    case DestinationKind::PdfFile:
        if (!pdfRendered) return deliveryFailed("the PDF could not be made: " + pdfError, kept);
        if (!writeOutput(dest.path, pdf, error))
            return deliveryFailed("cannot write " + os::mapPath(dest.path) + ": " + error, kept);
        return 0;
    case DestinationKind::TextFile:
        if (!writeOutput(dest.path, text, error))
            return deliveryFailed("cannot write " + os::mapPath(dest.path) + ": " + error, kept);
        return 0;
    case DestinationKind::Device:
        if (!programOnPath("lpstat"))
            return deliveryFailed("\"" + dest.name +
                                      "\" is not a .pdf or .txt file name, and there is no print spooler (lpstat) "
                                      "to find a printer of that name",
                                  kept);
        if (!printerQueueExists(dest.name))
            return deliveryFailed("\"" + dest.name + "\" is neither a printer queue nor a .pdf or .txt file name",
                                  kept);
        if (doc.pages.empty()) {
            std::fprintf(stderr, "ZELPRINT: the print file holds no pages; nothing was sent to %s\n", dest.name.c_str());
            return 0;
        }
        if (!kept.pdfKept) return deliveryFailed("no PDF to hand to the printer " + dest.name, kept);
        if (!sendToPrinter(dest.name, kept.pdfPath, error))
            return deliveryFailed("printer " + dest.name + ": " + error, kept);
        return 0;
    }
    return 0;
}

}  // namespace

int runZelprint(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fputs("Try ZELPRINT --help\n", stderr);
        return 2;
    }
    if (options.help) {
        std::fputs(usageText, stdout);
        return 0;
    }

    std::string input = options.input;
    if (input.empty()) {
        loadSessionSettings();
        input = sessionSettings.tempDir + "zelprint.tmp";
    }
    PrintDocument doc;
    std::string error;
    if (!loadPrintFile(input, doc, error)) {
        std::fprintf(stderr, "ZELPRINT: cannot read the print file %s: %s\n", os::mapPath(input).c_str(), error.c_str());
        return 1;
    }
    reportNotices(input, doc);
    if (doc.pages.empty()) std::fprintf(stderr, "ZELPRINT: %s holds no pages\n", os::mapPath(input).c_str());

    const std::string text = renderText(doc);
    std::string pdf;
    std::string pdfError;
    const bool pdfRendered = renderPdf(doc, pdf, pdfError);

    if (!options.pdfOut.empty() || !options.textOut.empty())
        return writeRequestedOutputs(options, text, pdfRendered, pdf, pdfError);
    return deliverByDevice(input, doc, text, pdfRendered, pdf, pdfError);
}

}  // namespace zelprint
