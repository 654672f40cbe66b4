#include "mailconverter/textpages/MonospaceAsciiFace.h"

#include <algorithm>
#include <utility>

namespace tessaly::pangotext {
namespace {

bool isDrawable(PangoGlyph glyph)
{
    return glyph != PANGO_GLYPH_EMPTY && !(glyph & PANGO_GLYPH_UNKNOWN_FLAG);
}

/// The only run of the only line of `layout`'s first line, or null when there are more.
const PangoGlyphItem *onlyRunOfFirstLine(PangoLayout *layout)
{
    PangoLayoutLine *line = pango_layout_get_line_readonly(layout, 0);
    if (!line || !line->runs || line->runs->next)
        return nullptr;
    return static_cast<const PangoGlyphItem *>(line->runs->data);
}

bool isPlainGlyph(const PangoGlyphInfo &glyph, int advance)
{
    return isDrawable(glyph.glyph) && glyph.geometry.width == advance && glyph.geometry.x_offset == 0 &&
           glyph.geometry.y_offset == 0;
}

} // namespace

std::optional<MonospaceAsciiFace> MonospaceAsciiFace::learn(PangoContext *context, const TextRun &style,
                                                            const TextFaces &faces)
{
    TextParagraph probe;
    TextRun run = style;
    run.link.clear();
    run.text.clear();
    for (char c = kFirst; c <= kLast; ++c)
        run.text += c;
    probe.runs.push_back(run);
    std::vector<LinkSpan> links;
    constexpr double kWideEnoughPoints = 100000;
    const Layout layout = layOutParagraph(context, probe, kWideEnoughPoints, faces, links);
    const PangoGlyphItem *glyphRun = onlyRunOfFirstLine(layout.get());
    if (pango_layout_get_line_count(layout.get()) != 1 || !glyphRun ||
        glyphRun->glyphs->num_glyphs != int(run.text.size()))
        return std::nullopt;
    MonospaceAsciiFace face;
    const PangoGlyphString &glyphs = *glyphRun->glyphs;
    face.m_advance = glyphs.glyphs[0].geometry.width;
    for (int i = 0; i < glyphs.num_glyphs; ++i) {
        if (!isPlainGlyph(glyphs.glyphs[i], face.m_advance) || glyphs.log_clusters[i] != i)
            return std::nullopt;
        face.m_glyphs[std::size_t(i)] = glyphs.glyphs[i].glyph;
    }
    if (face.m_advance <= 0)
        return std::nullopt;
    face.m_scaledFont = pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(glyphRun->item->analysis.font));
    if (!face.m_scaledFont)
        return std::nullopt;
    face.m_font = PANGO_FONT(g_object_ref(glyphRun->item->analysis.font));

    PangoRectangle extents;
    {
        const LayoutIter line(pango_layout_get_iter(layout.get()));
        pango_layout_iter_get_line_extents(line.get(), nullptr, &extents);
        face.m_lineHeight = points(extents.height);
        face.m_baselineOffset = points(pango_layout_iter_get_baseline(line.get()) - extents.y);
    }
    // An empty line's height comes from the paragraph's font description, not from a run.
    probe.runs.front().text.clear();
    const Layout empty = layOutParagraph(context, probe, kWideEnoughPoints, faces, links);
    {
        const LayoutIter line(pango_layout_get_iter(empty.get()));
        pango_layout_iter_get_line_extents(line.get(), nullptr, &extents);
        if (points(extents.height) != face.m_lineHeight)
            return std::nullopt;
    }

    // A word broken inside ends with a hyphen Pango adds: "aaa" two advances wide is "a‐" and
    // "aa". Without it, lines that need one take the general path.
    probe.runs.front().text = "aaa";
    const Layout broken = layOutParagraph(context, probe, points(2 * face.m_advance), faces, links);
    const PangoGlyphItem *hyphenRun = onlyRunOfFirstLine(broken.get());
    if (hyphenRun && hyphenRun->item->analysis.font == glyphRun->item->analysis.font &&
        hyphenRun->glyphs->num_glyphs == 2 && hyphenRun->glyphs->log_clusters[1] == 0 &&
        isPlainGlyph(hyphenRun->glyphs->glyphs[0], face.m_advance) && isDrawable(hyphenRun->glyphs->glyphs[1].glyph) &&
        hyphenRun->glyphs->glyphs[1].geometry.x_offset == 0 && hyphenRun->glyphs->glyphs[1].geometry.y_offset == 0) {
        face.m_hyphenGlyph = hyphenRun->glyphs->glyphs[1].glyph;
        face.m_hyphenAdvance = hyphenRun->glyphs->glyphs[1].geometry.width;
    }
    return face;
}

MonospaceAsciiFace::MonospaceAsciiFace(MonospaceAsciiFace &&other) noexcept
    : m_font(std::exchange(other.m_font, nullptr)), m_scaledFont(other.m_scaledFont), m_glyphs(other.m_glyphs),
      m_advance(other.m_advance), m_hyphenGlyph(other.m_hyphenGlyph), m_hyphenAdvance(other.m_hyphenAdvance),
      m_lineHeight(other.m_lineHeight), m_baselineOffset(other.m_baselineOffset)
{
}

MonospaceAsciiFace &MonospaceAsciiFace::operator=(MonospaceAsciiFace &&other) noexcept
{
    if (this != &other) {
        if (m_font)
            g_object_unref(m_font);
        m_font = std::exchange(other.m_font, nullptr);
        m_scaledFont = other.m_scaledFont;
        m_glyphs = other.m_glyphs;
        m_advance = other.m_advance;
        m_hyphenGlyph = other.m_hyphenGlyph;
        m_hyphenAdvance = other.m_hyphenAdvance;
        m_lineHeight = other.m_lineHeight;
        m_baselineOffset = other.m_baselineOffset;
    }
    return *this;
}

MonospaceAsciiFace::~MonospaceAsciiFace()
{
    if (m_font)
        g_object_unref(m_font);
}

bool MonospaceAsciiFace::isPrintableAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= kFirst && c <= kLast; });
}

std::vector<AsciiLine> MonospaceAsciiFace::lines(std::string_view text, double width, PangoLanguage *language) const
{
    // As layOutParagraph sets the layout's width.
    const int columnUnits = int(std::max(1.0, width) * PANGO_SCALE);
    const int length = int(text.size());
    // A line's width leaves out the space it ends with: Pango lets that one hang.
    const auto widthOf = [&](int start, int end) {
        return (end - start - (end > start && text[std::size_t(end - 1)] == ' ' ? 1 : 0)) * m_advance;
    };
    std::vector<AsciiLine> result;
    int start = 0;
    if (widthOf(start, length) > columnUnits) {
        std::vector<PangoLogAttr> breaks(std::size_t(length) + 1);
        pango_get_log_attrs(text.data(), length, 0, language, breaks.data(), length + 1);
        while (widthOf(start, length) > columnUnits) {
            const int last = std::min(length - 1, start + columnUnits / m_advance + 1);
            int end = 0;
            bool hyphen = false;
            for (int at = last; at > start && end == 0; --at) {
                if (breaks[std::size_t(at)].is_line_break && widthOf(start, at) <= columnUnits)
                    end = at;
            }
            // Inside a word only when no opportunity fits.
            for (int at = last; at > start && end == 0; --at) {
                const bool addsHyphen = breaks[std::size_t(at)].break_inserts_hyphen;
                if (breaks[std::size_t(at)].is_char_break &&
                    widthOf(start, at) + (addsHyphen ? m_hyphenAdvance : 0) <= columnUnits) {
                    end = at;
                    hyphen = addsHyphen;
                }
            }
            const bool endsInSpace = end > 0 && text[std::size_t(end - 1)] == ' ';
            if (end == 0 || (hyphen && (m_hyphenGlyph == PANGO_GLYPH_EMPTY || endsInSpace)))
                return {};
            result.push_back({start, end - start, hyphen, endsInSpace});
            start = end;
        }
    }
    result.push_back({start, length - start, false, false});
    return result;
}

void MonospaceAsciiFace::draw(cairo_t *cr, std::string_view text, const AsciiLine &line, double x, double baseline,
                              std::uint32_t colour) const
{
    std::vector<cairo_glyph_t> glyphs;
    std::vector<cairo_text_cluster_t> clusters;
    glyphs.reserve(std::size_t(line.length) + 1);
    clusters.reserve(std::size_t(line.length));
    double advance = x;
    for (int i = 0; i < line.length; ++i) {
        if (line.hiddenFinalSpace && i == line.length - 1) {
            clusters.push_back({1, 0});
            continue;
        }
        const char c = text[std::size_t(line.start + i)];
        glyphs.push_back({m_glyphs[std::size_t(c - kFirst)], advance, baseline});
        clusters.push_back({1, 1});
        advance += points(m_advance);
    }
    if (line.hyphen && !clusters.empty()) {
        glyphs.push_back({m_hyphenGlyph, advance, baseline});
        clusters.back().num_glyphs = 2;
    }
    if (glyphs.empty())
        return;
    cairo_set_scaled_font(cr, m_scaledFont);
    // As Pango's colour attribute gives it to drawRun.
    const auto channel = [&](int shift) { return guint16(((colour >> shift) & 0xff) * 257) / 65535.0; };
    cairo_set_source_rgb(cr, channel(16), channel(8), channel(0));
    cairo_show_text_glyphs(cr, text.data() + line.start, line.length, glyphs.data(), int(glyphs.size()),
                           clusters.data(), int(clusters.size()), cairo_text_cluster_flags_t(0));
}

} // namespace tessaly::pangotext
