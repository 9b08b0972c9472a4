// PDF pages drawn with cairo. Each run of non-blank characters is set at the
// position of its own column, so the columns stay exact even where a glyph of the
// font had a different width.
#include "pdf_output.h"

#include <algorithm>

#include <cairo-pdf.h>
#include <cairo.h>

#include "platform/term/code_page.h"

namespace zelprint {

namespace {

constexpr const char* fontFamily = "DejaVu Sans Mono";
// The font may be widened up to this much to use the width of the sheet: a
// condensed pitch drawn at the height of its line leaves the sides empty.
constexpr double maxWidening = 1.15;

cairo_status_t appendToString(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

int usedLines(const PrintPage& page) {
    int used = static_cast<int>(page.lines.size());
    while (used > 0 && page.lines[static_cast<std::size_t>(used - 1)].find_first_not_of(' ') == std::string::npos)
        --used;
    return used;
}

int usedColumns(const PrintPage& page) {
    std::size_t widest = 0;
    for (const std::string& line : page.lines) {
        const std::size_t last = line.find_last_not_of(' ');
        if (last != std::string::npos) widest = std::max(widest, last + 1);
    }
    return static_cast<int>(widest);
}

void drawPage(cairo_t* cr, const PrintPage& page, double advanceRatio, double ascentRatio, double descentRatio) {
    const int columns = std::max(pdfMinColumns, usedColumns(page));
    const int rows = std::max({pdfMinLines, page.length, usedLines(page)});
    const double areaWidth = pdfPageWidth - 2 * pdfMarginX;
    const double areaHeight = pdfPageHeight - 2 * pdfMarginY;
    const double lineHeight = areaHeight / rows;
    const double cellTarget = areaWidth / columns;

    // The font as large as both its line and its column allow.
    const double size = std::min(lineHeight / (ascentRatio + descentRatio) * 1.05, cellTarget / advanceRatio);
    const double widening = std::clamp(cellTarget / (size * advanceRatio), 1.0, maxWidening);
    const double cellWidth = size * advanceRatio * widening;
    cairo_matrix_t matrix;
    cairo_matrix_init_scale(&matrix, size * widening, size);
    cairo_set_font_matrix(cr, &matrix);

    const double left = (pdfPageWidth - columns * cellWidth) / 2;
    const double baselineOffset = (lineHeight + (ascentRatio - descentRatio) * size) / 2;
    for (std::size_t row = 0; row < page.lines.size(); ++row) {
        const std::string& line = page.lines[row];
        const double baseline = pdfMarginY + static_cast<double>(row) * lineHeight + baselineOffset;
        std::size_t i = 0;
        while (i < line.size()) {
            if (line[i] == ' ') {
                ++i;
                continue;
            }
            std::size_t end = line.find(' ', i);
            if (end == std::string::npos) end = line.size();
            const std::string run = term::cp850ToUtf8(std::string_view(line).substr(i, end - i));
            cairo_move_to(cr, left + static_cast<double>(i) * cellWidth, baseline);
            cairo_show_text(cr, run.c_str());
            i = end;
        }
    }
    cairo_show_page(cr);
}

}  // namespace

// fontconfig, loaded by cairo to find the font, keeps its configuration for the
// life of the process; a leak checker (the sanitizer builds) is told so, here
// where every program that draws a PDF links it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }

bool renderPdf(const PrintDocument& doc, std::string& pdf, std::string& error) {
    pdf.clear();
    cairo_surface_t* surface =
        cairo_pdf_surface_create_for_stream(appendToString, &pdf, pdfPageWidth, pdfPageHeight);
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "ZELPRINT");
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, "Report");
    cairo_t* cr = cairo_create(surface);
    cairo_select_font_face(cr, fontFamily, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_source_rgb(cr, 0, 0, 0);

    // Proportions of the font, measured once at a large size.
    constexpr double probe = 100.0;
    cairo_set_font_size(cr, probe);
    cairo_font_extents_t fe;
    cairo_font_extents(cr, &fe);
    cairo_text_extents_t te;
    cairo_text_extents(cr, "0", &te);
    const double advanceRatio = te.x_advance > 0 ? te.x_advance / probe : 0.6;
    const double ascentRatio = fe.ascent > 0 ? fe.ascent / probe : 0.9;
    const double descentRatio = fe.descent > 0 ? fe.descent / probe : 0.25;

    for (const PrintPage& page : doc.pages) drawPage(cr, page, advanceRatio, ascentRatio, descentRatio);
    // A PDF needs a page: a report that printed nothing comes out as one blank sheet.
    if (doc.pages.empty()) cairo_show_page(cr);

    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        error = cairo_status_to_string(status);
        pdf.clear();
        return false;
    }
    return true;
}

}  // namespace zelprint
