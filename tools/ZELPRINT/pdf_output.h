// The pages as a PDF: A4 landscape, a monospaced font with the box-drawing and
// accented characters of code page 850, every page's columns and lines fitted to
// the sheet.
#pragma once

#include <string>

#include "page_layout.h"

namespace zelprint {

// Sheet and margins in PostScript points.
constexpr double pdfPageWidth = 841.89;   // A4, landscape
constexpr double pdfPageHeight = 595.28;
constexpr double pdfMarginX = 28.0;
constexpr double pdfMarginY = 20.0;
// A page is fitted for at least this many columns and lines, so that every page of
// a report prints at the same size; wider or longer pages are set smaller.
constexpr int pdfMinColumns = 136;
constexpr int pdfMinLines = 66;

// The PDF file's bytes; false with `error` set when cairo fails.
bool renderPdf(const PrintDocument& doc, std::string& pdf, std::string& error);

}  // namespace zelprint
