#include "mailconverter/textpages/PangoText.h"

#include "mailconverter/html/ScriptFonts.h"

#include <cairo-pdf.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>

namespace tessaly::pangotext {
namespace {

constexpr char32_t kZeroWidthJoiner = 0x200D;

/// The families Pango may use for `role`, as one comma-separated list, with the face for the
/// page's Han characters first among the CJK faces.
std::string familyList(FontRole role, CjkLanguage cjk)
{
    std::string list;
    for (const std::string &family : fontFamilies(role, cjk)) {
        if (family == "Tessaly Emoji") // the web page's own name; fontconfig knows Symbola
            continue;
        list += (list.empty() ? "" : ",") + family;
    }
    return list;
}

/// A stretch of a line's run whose glyphs are written as one cluster: its bytes
/// [start, end) of the paragraph, its glyphs [firstGlyph, lastGlyph] of the run, and the
/// text written with them, [textStart, end).
struct Cluster
{
    int start = 0;
    int end = 0;
    int firstGlyph = 0;
    int lastGlyph = 0;
    int textStart = 0;
};

/// Whether text at `c` continues the cluster before it: a combining mark (Arabic vowels,
/// Hebrew points, Thai vowels and tone marks, variation selectors), an emoji modifier, or what
/// a zero-width joiner joins.
bool continuesCluster(gunichar c, gunichar before)
{
    return g_unichar_ismark(c) || c == kZeroWidthJoiner || before == kZeroWidthJoiner || (c >= 0x1F3FB && c <= 0x1F3FF);
}

/// The run's clusters in the order of the text, each base letter together with its marks:
/// poppler gives a mark drawn as a cluster of its own back apart from its letter, so the word
/// would not be found. Marks that Pango drew from another face than their letter's (Liberation
/// Mono has Hebrew letters but no points) are in another run of the line [lineStart, lineEnd):
/// their text goes with the letter's cluster, and their glyphs are written with none.
std::vector<Cluster> mergedClusters(const PangoGlyphItem &run, const char *text, int lineStart, int lineEnd)
{
    const PangoGlyphString &glyphs = *run.glyphs;
    const int offset = run.item->offset;
    std::vector<Cluster> clusters;
    for (int i = 0; i < glyphs.num_glyphs; ++i) {
        const int start = offset + glyphs.log_clusters[i];
        if (!clusters.empty() && clusters.back().start == start)
            clusters.back().lastGlyph = i;
        else
            clusters.push_back({start, 0, i, i, start});
    }
    if (run.item->analysis.level % 2)
        std::reverse(clusters.begin(), clusters.end());
    for (std::size_t i = 0; i < clusters.size(); ++i)
        clusters[i].end = i + 1 < clusters.size() ? clusters[i + 1].start : offset + run.item->length;

    std::vector<Cluster> merged;
    for (const Cluster &cluster : clusters) {
        const gunichar first = g_utf8_get_char(text + cluster.start);
        const gunichar before = merged.empty() ? 0 : g_utf8_get_char(g_utf8_prev_char(text + merged.back().end));
        if (merged.empty() || !continuesCluster(first, before)) {
            merged.push_back(cluster);
            continue;
        }
        Cluster &into = merged.back();
        into.end = cluster.end;
        into.firstGlyph = std::min(into.firstGlyph, cluster.firstGlyph);
        into.lastGlyph = std::max(into.lastGlyph, cluster.lastGlyph);
    }
    if (merged.empty())
        return merged;
    Cluster &first = merged.front();
    if (first.start > lineStart &&
        continuesCluster(g_utf8_get_char(text + first.start), g_utf8_get_char(g_utf8_prev_char(text + first.start))))
        first.textStart = first.end;
    Cluster &last = merged.back();
    while (last.end < lineEnd &&
           continuesCluster(g_utf8_get_char(text + last.end), g_utf8_get_char(g_utf8_prev_char(text + last.end))))
        last.end = int(g_utf8_next_char(text + last.end) - text);
    return merged;
}

bool isDrawable(PangoGlyph glyph)
{
    return glyph != PANGO_GLYPH_EMPTY && !(glyph & PANGO_GLYPH_UNKNOWN_FLAG);
}

/// Draws one shaped run with its baseline's left end at (x, baseline), its text attached per
/// cluster.
void drawRun(cairo_t *cr, const PangoGlyphItem &run, const PangoLayoutLine &line, const char *text, double x,
             double baseline)
{
    const PangoItem &item = *run.item;
    cairo_scaled_font_t *font = pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(item.analysis.font));
    if (!font)
        return;
    cairo_set_scaled_font(cr, font);
    setColour(cr, 0);
    for (GSList *node = item.analysis.extra_attrs; node; node = node->next) {
        const auto *attribute = static_cast<const PangoAttribute *>(node->data);
        if (attribute->klass->type != PANGO_ATTR_FOREGROUND)
            continue;
        const PangoColor &colour = reinterpret_cast<const PangoAttrColor *>(attribute)->color;
        cairo_set_source_rgb(cr, colour.red / 65535.0, colour.green / 65535.0, colour.blue / 65535.0);
    }

    const PangoGlyphString &glyphs = *run.glyphs;
    std::vector<cairo_glyph_t> drawn;
    std::vector<int> drawnBefore(std::size_t(glyphs.num_glyphs) + 1, 0); // drawable glyphs before index i
    drawn.reserve(std::size_t(glyphs.num_glyphs));
    double advance = x;
    for (int i = 0; i < glyphs.num_glyphs; ++i) {
        const PangoGlyphInfo &glyph = glyphs.glyphs[i];
        drawnBefore[std::size_t(i)] = int(drawn.size());
        if (isDrawable(glyph.glyph))
            drawn.push_back(
                {glyph.glyph, advance + points(glyph.geometry.x_offset), baseline + points(glyph.geometry.y_offset)});
        advance += points(glyph.geometry.width);
    }
    drawnBefore.back() = int(drawn.size());

    // Clusters in the order of the glyphs, which Pango gives from left to right: poppler
    // reads a right-to-left line best when its glyphs come that way too.
    const bool rightToLeft = item.analysis.level % 2;
    std::vector<Cluster> clusters =
        mergedClusters(run, text, line.start_index, std::min(line.start_index + line.length, int(std::strlen(text))));
    if (rightToLeft)
        std::reverse(clusters.begin(), clusters.end());
    std::string clusterText;
    clusterText.reserve(std::size_t(item.length));
    std::vector<cairo_text_cluster_t> cairoClusters;
    std::vector<cairo_glyph_t> ordered;
    ordered.reserve(drawn.size());
    for (const Cluster &cluster : clusters) {
        const int byteCount = cluster.end - cluster.textStart;
        if (!rightToLeft) {
            clusterText.append(text + cluster.textStart, std::size_t(byteCount));
            const auto first = drawn.begin() + drawnBefore[std::size_t(cluster.firstGlyph)];
            const auto last = drawn.begin() + drawnBefore[std::size_t(cluster.lastGlyph) + 1];
            ordered.insert(ordered.end(), first, last);
            if (byteCount > 0 || first != last)
                cairoClusters.push_back({byteCount, int(last - first)});
            continue;
        }
        // poppler reverses the text of a right-to-left line, and a cluster's text with it: the
        // letter and its marks go in reversed, to come out as typed. They go with the letter's
        // glyph alone, the marks' glyphs before it with no text: poppler places a cluster's text
        // from its first glyph's origin to its last glyph's advance, and a mark drawn over the
        // letter (with a monospaced face's full advance, or none) would part the word there.
        for (const char *end = text + cluster.end; end > text + cluster.textStart;) {
            const char *character = g_utf8_prev_char(end);
            clusterText.append(character, std::size_t(end - character));
            end = character;
        }
        std::vector<cairo_glyph_t> letter;
        for (int i = cluster.firstGlyph; i <= cluster.lastGlyph; ++i) {
            if (!isDrawable(glyphs.glyphs[i].glyph))
                continue;
            const cairo_glyph_t &glyph = drawn[std::size_t(drawnBefore[std::size_t(i)])];
            if (item.offset + glyphs.log_clusters[i] == cluster.start) {
                letter.push_back(glyph);
            } else {
                ordered.push_back(glyph);
                cairoClusters.push_back({0, 1});
            }
        }
        ordered.insert(ordered.end(), letter.begin(), letter.end());
        if (byteCount > 0 || !letter.empty())
            cairoClusters.push_back({byteCount, int(letter.size())});
    }
    drawn = std::move(ordered);
    if (drawn.empty())
        return;
    cairo_show_text_glyphs(cr, clusterText.data(), int(clusterText.size()), drawn.data(), int(drawn.size()),
                           cairoClusters.data(), int(cairoClusters.size()), cairo_text_cluster_flags_t(0));
}

/// The URI as a value in a Cairo tag's attributes: quoted, with quotes and backslashes escaped.
std::string quotedForTag(const std::string &uri)
{
    std::string quoted = "'";
    for (char c : uri) {
        if (c == '\'' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "'";
}

void addLinks(cairo_t *cr, PangoLayoutLine *line, const std::vector<LinkSpan> &links, double layoutX, double top,
              double height)
{
    for (const LinkSpan &link : links) {
        const int start = std::max(link.start, line->start_index);
        const int end = std::min(link.end, line->start_index + line->length);
        if (start >= end)
            continue;
        int *ranges = nullptr;
        int count = 0;
        pango_layout_line_get_x_ranges(line, start, end, &ranges, &count);
        std::string rects;
        for (int i = 0; i < count; ++i) {
            const double left = layoutX + points(ranges[2 * i]);
            const double width = points(ranges[2 * i + 1] - ranges[2 * i]);
            rects += std::to_string(left) + ' ' + std::to_string(top) + ' ' + std::to_string(width) + ' ' +
                     std::to_string(height) + ' ';
        }
        g_free(ranges);
        if (rects.empty())
            continue;
        const std::string attributes = "rect=[" + rects + "] uri=" + quotedForTag(link.uri);
        cairo_tag_begin(cr, CAIRO_TAG_LINK, attributes.c_str());
        cairo_tag_end(cr, CAIRO_TAG_LINK);
    }
}

} // namespace

cairo_status_t appendToBytes(void *closure, const unsigned char *data, unsigned int length)
{
    static_cast<QByteArray *>(closure)->append(reinterpret_cast<const char *>(data), qsizetype(length));
    return CAIRO_STATUS_SUCCESS;
}

void setColour(cairo_t *cr, std::uint32_t rgb)
{
    cairo_set_source_rgb(cr, ((rgb >> 16) & 0xff) / 255.0, ((rgb >> 8) & 0xff) / 255.0, (rgb & 0xff) / 255.0);
}

TextFaces::TextFaces(const std::string &languageTag)
{
    const CjkLanguage cjk = cjkLanguageOfTag(languageTag).value_or(CjkLanguage::SimplifiedChinese);
    text = familyList(FontRole::Text, cjk);
    monospace = familyList(FontRole::Monospace, cjk);
    language = languageTag.empty() ? nullptr : pango_language_from_string(languageTag.c_str());
}

/// One paragraph as a layout `width` points wide, with the spans of its links.
Layout layOutParagraph(PangoContext *context, const TextParagraph &paragraph, double width, const TextFaces &faces,
                       std::vector<LinkSpan> &links)
{
    const std::string &textFamilies = faces.text;
    const std::string &monospaceFamilies = faces.monospace;
    PangoLanguage *language = faces.language;
    std::string text;
    AttrList attributes(pango_attr_list_new());
    for (const TextRun &run : paragraph.runs) {
        const auto start = guint(text.size());
        if (g_utf8_validate(run.text.data(), gssize(run.text.size()), nullptr)) {
            text += run.text;
        } else {
            gchar *valid = g_utf8_make_valid(run.text.data(), gssize(run.text.size()));
            text += valid;
            g_free(valid);
        }
        const auto end = guint(text.size());
        const auto add = [&](PangoAttribute *attribute) {
            attribute->start_index = start;
            attribute->end_index = end;
            pango_attr_list_insert(attributes.get(), attribute);
        };
        add(pango_attr_family_new(run.monospace ? monospaceFamilies.c_str() : textFamilies.c_str()));
        add(pango_attr_size_new(int(run.sizePoints * PANGO_SCALE)));
        if (run.bold)
            add(pango_attr_weight_new(PANGO_WEIGHT_BOLD));
        if (run.italic)
            add(pango_attr_style_new(PANGO_STYLE_ITALIC));
        add(pango_attr_foreground_new(guint16(((run.colour >> 16) & 0xff) * 257),
                                      guint16(((run.colour >> 8) & 0xff) * 257), guint16((run.colour & 0xff) * 257)));
        if (!run.link.empty())
            links.push_back({int(start), int(end), run.link});
    }
    if (language) {
        PangoAttribute *all = pango_attr_language_new(language);
        pango_attr_list_insert(attributes.get(), all);
    }

    Layout layout(pango_layout_new(context));
    // An empty paragraph still takes a line of its first run's size.
    FontDescription font(pango_font_description_new());
    const TextRun first = paragraph.runs.empty() ? TextRun{} : paragraph.runs.front();
    pango_font_description_set_family(font.get(), first.monospace ? monospaceFamilies.c_str() : textFamilies.c_str());
    pango_font_description_set_size(font.get(), int(first.sizePoints * PANGO_SCALE));
    pango_layout_set_font_description(layout.get(), font.get());
    pango_layout_set_width(layout.get(), int(std::max(1.0, width) * PANGO_SCALE));
    pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
    if (paragraph.hangingPoints > 0) {
        const int hanging = int(paragraph.hangingPoints * PANGO_SCALE);
        pango_layout_set_indent(layout.get(), -hanging);
        PangoTabArray *tabs = pango_tab_array_new_with_positions(1, FALSE, PANGO_TAB_LEFT, hanging);
        pango_layout_set_tabs(layout.get(), tabs);
        pango_tab_array_free(tabs);
    }
    pango_layout_set_text(layout.get(), text.data(), int(text.size()));
    pango_layout_set_attributes(layout.get(), attributes.get());
    return layout;
}

/// Pango's context for drawing on `cr` in points, hinting and position rounding off so that
/// advances are not rounded.
Context contextFor(cairo_t *cr)
{
    Context context(pango_font_map_create_context(pango_cairo_font_map_get_default()));
    FontOptions options(cairo_font_options_create());
    cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(context.get(), options.get());
    pango_cairo_context_set_resolution(context.get(), 72.0);
    // Pango rounds glyph positions to device units by default, whole points here: 9.5 pt
    // Liberation Mono would advance 6 pt instead of 5.70 (85 columns to the line, not 89),
    // and cairo would write a correction for every glyph against the font's own advance.
    pango_context_set_round_glyph_positions(context.get(), FALSE);
    pango_cairo_update_context(cr, context.get());
    return context;
}

double drawLine(cairo_t *cr, PangoLayoutIter *iter, const char *text, const std::vector<LinkSpan> &links,
                double layoutX, double top)
{
    PangoRectangle extents;
    pango_layout_iter_get_line_extents(iter, nullptr, &extents);
    const double height = points(extents.height);
    PangoLayoutLine *line = pango_layout_iter_get_line_readonly(iter);
    const double baseline = top + points(pango_layout_iter_get_baseline(iter) - extents.y);
    double x = layoutX + points(extents.x);
    for (GSList *node = line->runs; node; node = node->next) {
        const auto *run = static_cast<const PangoGlyphItem *>(node->data);
        drawRun(cr, *run, *line, text, x, baseline);
        x += points(pango_glyph_string_get_width(run->glyphs));
    }
    if (!links.empty())
        addLinks(cr, line, links, layoutX, top, height);
    return height;
}

} // namespace tessaly::pangotext
