// Where the pages go, chosen by the DEVICE line: a PDF or text file, a printer
// queue of the system's print spooler, or the screen.
#pragma once

#include <string>
#include <string_view>

namespace zelprint {

enum class DestinationKind {
    Screen,    // empty, or "PANTALLA"
    PdfFile,   // a name ending in ".pdf"
    TextFile,  // a name ending in ".txt"
    Device,    // anything else: a printer queue if the spooler knows it
};

struct Destination {
    DestinationKind kind = DestinationKind::Screen;
    std::string name;  // the destination as written, in UTF-8, for messages and the spooler
    std::string path;  // PdfFile, TextFile: the file (system name, "\" allowed)
};

Destination classifyDestination(std::string_view deviceCp850);

// An executable of that name in a folder of PATH.
bool programOnPath(const std::string& program);

// Whether the print spooler knows the queue ("lpstat -p NAME"); false when there
// is no spooler to ask.
bool printerQueueExists(const std::string& queue);

// Hands a PDF to the spooler with "lp -d QUEUE". false with `error` set on failure.
bool sendToPrinter(const std::string& queue, const std::string& pdfPath, std::string& error);

// Shows a UTF-8 text file in the user's pager ($PAGER, else less); without a pager
// the text goes to standard output.
void showOnScreen(const std::string& textPath, const std::string& text);

}  // namespace zelprint
