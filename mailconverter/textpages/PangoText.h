// Pango and Cairo for drawing text into PDF: the shared steps of TextPageWriter and HeaderBlockPage.
#pragma once

#include "mailconverter/textpages/TextPageWriter.h"

#include <QByteArray>

#include <cairo.h>
#include <pango/pangocairo.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tessaly::pangotext {

template <auto Free> struct Freeing
{
    template <class T> void operator()(T *object) const { Free(object); }
};
using Surface = std::unique_ptr<cairo_surface_t, Freeing<cairo_surface_destroy>>;
using Cairo = std::unique_ptr<cairo_t, Freeing<cairo_destroy>>;
using FontOptions = std::unique_ptr<cairo_font_options_t, Freeing<cairo_font_options_destroy>>;
using Context = std::unique_ptr<PangoContext, Freeing<g_object_unref>>;
using Layout = std::unique_ptr<PangoLayout, Freeing<g_object_unref>>;
using AttrList = std::unique_ptr<PangoAttrList, Freeing<pango_attr_list_unref>>;
using FontDescription = std::unique_ptr<PangoFontDescription, Freeing<pango_font_description_free>>;
using LayoutIter = std::unique_ptr<PangoLayoutIter, Freeing<pango_layout_iter_free>>;

/// Points from Pango units.
inline double points(int pangoUnits)
{
    return pangoUnits / double(PANGO_SCALE);
}

/// Cairo's write function for a PDF surface that appends to the QByteArray `closure`.
cairo_status_t appendToBytes(void *closure, const unsigned char *data, unsigned int length);

/// Sets the source colour from 0xRRGGBB.
void setColour(cairo_t *cr, std::uint32_t rgb);

/// A link's bytes [start, end) in its paragraph.
struct LinkSpan
{
    int start = 0;
    int end = 0;
    std::string uri;
};

/// The families of each role for a page in `language` (a BCP 47 tag, or empty), as Pango
/// family lists, and the language itself.
struct TextFaces
{
    explicit TextFaces(const std::string &languageTag);

    std::string text;
    std::string monospace;
    PangoLanguage *language = nullptr; ///< owned by Pango; null for none
};

/// Pango's context for drawing on `cr` in points, with hinting and the rounding of glyph
/// positions off, so that glyphs advance by the face's own widths.
Context contextFor(cairo_t *cr);

/// One paragraph as a layout `width` points wide; `links` receives the spans of its links.
Layout layOutParagraph(PangoContext *context, const TextParagraph &paragraph, double width, const TextFaces &faces,
                       std::vector<LinkSpan> &links);

/// Draws the line `iter` is on, the layout's left edge at `layoutX` and the line's top at
/// `top`, with its links; returns the line's height.
double drawLine(cairo_t *cr, PangoLayoutIter *iter, const char *text, const std::vector<LinkSpan> &links,
                double layoutX, double top);

} // namespace tessaly::pangotext
