#include "mailconverter/html/HtmlComposer.h"

#include "mailconverter/html/FontAliases.h"
#include "mailconverter/html/HeaderBlockHtml.h"
#include "mailconverter/html/HtmlEscaping.h"
#include "mailconverter/html/HtmlSanitizer.h"
#include "mailconverter/html/InvitationHtml.h"
#include "mailconverter/html/PageRuleFilter.h"
#include "mailconverter/html/PlainTextHtml.h"
#include "mailconverter/html/ScriptFonts.h"
#include "support/DateTime.h"
#include "support/Utf8.h"

#include <array>
#include <cstdio>

namespace tessaly {

namespace {

// Emoji are drawn in Symbola, a monochrome outline face: Chromium writes the colour face's
// glyphs as 72 ppi bitmaps in Type 3 fonts. The face is declared for every weight and style,
// under our own name and inside the families mail uses, so that it comes before any fallback.
constexpr char kEmojiRange[] = "U+231A-231B,U+23E9-23FA,U+2600-27BF,U+2B50,U+2B55,U+FE0F,U+200D,U+1F000-1FAFF";
constexpr std::array<std::string_view, 9> kEmojiHostFamilies = {
    "Tessaly Emoji", "Segoe UI", "Segoe UI Emoji", "Apple Color Emoji", "Helvetica Neue", "Verdana",
    "Tahoma",        "Georgia",  "Aptos"};

std::string emojiFaces(std::string_view family)
{
    std::string css;
    for (std::string_view style : {"normal", "italic"}) {
        css += "@font-face{font-family:\"" + std::string(family) +
               "\";src:local(\"Symbola\");font-weight:100 900;"
               "font-style:" +
               std::string(style) + ";unicode-range:" + kEmojiRange + "}\n";
    }
    return css;
}

std::string fontFaceAliases()
{
    std::string css;
    for (std::string_view family : kEmojiHostFamilies)
        css += emojiFaces(family);
    for (const FontAlias &alias : kFontAliases) {
        const std::string family(alias.family);
        const std::string stem(alias.stem);
        css += "@font-face{font-family:\"" + family + "\";src:local(\"" + std::string(alias.regular) + "\")}\n";
        css += "@font-face{font-family:\"" + family + "\";font-weight:bold;src:local(\"" + stem + " Bold\")}\n";
        css += "@font-face{font-family:\"" + family + "\";font-style:italic;src:local(\"" + stem + " Italic\")}\n";
        css += "@font-face{font-family:\"" + family + "\";font-weight:bold;font-style:italic;src:local(\"" + stem +
               " Bold Italic\")}\n";
        css += emojiFaces(alias.family);
    }
    for (const CjkFontAlias &alias : kCjkFontAliases)
        css += "@font-face{font-family:\"" + std::string(alias.family) + "\";src:local(\"" +
               std::string(cjkFace(alias.language)) + "\")}\n";
    return css;
}

// Every forwarded header block gets an id; the header style sheet names them all, so its rules win
// by id specificity over any selector a message can write without knowing them.
class Page
{
public:
    Page(const ComposeOptions &options, CjkLanguage cjk) : m_options(options), m_cjk(cjk) {}

    void addMessage(const MailMessage &message, const std::vector<AttachmentListing> &listings, int depth);
    std::string document(const std::string &title) const;

private:
    void addHeaderBlock(const MailMessage &message, const std::vector<AttachmentListing> &listings);
    void addHeaderRow(const std::string &label, const std::string &valueHtml, bool emphasise = false);
    void addBody(const BodyPart &body);
    std::string resolveReference(std::string_view reference, bool isContentId) const;
    std::string headerStyles() const;

    const ComposeOptions &m_options;
    const CjkLanguage m_cjk; ///< whose face draws Han characters on this page
    std::string m_body;
    std::string m_messageStyles;
    const MailMessage *m_current = nullptr;
    int m_headerCount = 0;
    int m_plainCount = 0;
    int m_invitationCount = 0;
};

std::string Page::resolveReference(std::string_view reference, bool isContentId) const
{
    if (m_options.cidBaseUrl.empty() || !m_current)
        return {};
    if (isContentId) {
        const std::string id = percentDecode(reference);
        if (!findInlineResource(*m_current, id))
            return {};
        return m_options.cidBaseUrl + percentEncodeUrlPart(id);
    }
    for (const InlineResource &resource : m_current->inlineResources) {
        if (!resource.contentLocation.empty() && resource.contentLocation == reference)
            return m_options.cidBaseUrl + percentEncodeUrlPart(resourceKey(resource));
    }
    return {};
}

void Page::addHeaderRow(const std::string &label, const std::string &valueHtml, bool emphasise)
{
    m_body += "<tessaly-row" + std::string(emphasise ? " class=\"tessaly-subject\"" : "") + "><tessaly-label>" +
              escapeHtml(label) + "</tessaly-label><tessaly-value dir=\"auto\">" + valueHtml +
              "</tessaly-value></tessaly-row>\n";
}

void Page::addHeaderBlock(const MailMessage &message, const std::vector<AttachmentListing> &listings)
{
    const std::vector<HeaderRow> rows = headerRows(message, listings, HeaderLimits{}, HeaderMarkup::Web);
    if (rows.empty())
        return;
    const std::string id = "tessaly-header-" + std::to_string(m_headerCount++);
    m_body += "<tessaly-header id=\"" + id + "\">\n";
    for (const HeaderRow &row : rows)
        addHeaderRow(row.label, row.valueHtml, row.isSubject);
    m_body += "</tessaly-header>\n";
}

void Page::addBody(const BodyPart &body)
{
    if (body.kind == BodyPart::Kind::Image) {
        // An image part shown where it stands, at most as wide as the page.
        if (!m_options.cidBaseUrl.empty())
            m_body += "<div style=\"margin:4pt 0\"><img src=\"" +
                      escapeHtml(m_options.cidBaseUrl + percentEncodeUrlPart(body.text)) +
                      "\" alt=\"\" style=\"max-width:100%;height:auto\"></div>\n";
        return;
    }
    if (body.kind == BodyPart::Kind::Invitation) {
        m_body += invitationHtml(body.text, m_cjk, m_invitationCount++);
        return;
    }
    if (body.kind == BodyPart::Kind::PlainText) {
        m_body += "<tessaly-plain id=\"tessaly-plain-" + std::to_string(m_plainCount++) + "\">" +
                  plainTextToHtml(body.text, false, m_cjk) + "</tessaly-plain>\n";
        return;
    }
    SanitizeOptions sanitize;
    sanitize.resolveReference = [this](std::string_view reference, bool isContentId) {
        return resolveReference(reference, isContentId);
    };
    sanitize.remoteImagePlaceholder = [this](const RemoteImage &image) {
        const std::string &alt = image.escapedAlt;
        const std::string text = alt.empty() ? std::string("[remote image]") : "[remote image: " + alt + "]";
        // The image's own box, so that a layout of sized images keeps its shape.
        const std::string style = image.escapedStyle.empty() ? std::string() : " style=\"" + image.escapedStyle + "\"";
        return "<tessaly-remote-image" + style + ">" + text + "</tessaly-remote-image>";
    };
    SanitizedHtml html = sanitizeHtml(body.text, sanitize);
    for (const StyleSheet &sheet : html.styleSheets) {
        m_messageStyles +=
            sheet.media.empty() ? std::string("<style>\n") : "<style media=\"" + escapeHtml(sheet.media) + "\">\n";
        m_messageStyles += withoutPageImportAndFontRules(sheet.css) + "\n</style>\n";
    }
    m_body += "<div class=\"tessaly-body\"" + html.bodyAttributes + ">" + html.body + "</div>\n";
}

void Page::addMessage(const MailMessage &message, const std::vector<AttachmentListing> &listings, int depth)
{
    const MailMessage *previous = m_current;
    m_current = &message;
    // The message's own header block is drawn apart from its page (see HeaderStamp), where
    // nothing the message says can reach it; forwarded messages carry theirs inline.
    if (depth > 0)
        addHeaderBlock(message, listings);
    for (const BodyPart &body : message.bodies)
        addBody(body);
    m_current = previous;
    for (const MailMessage &forwarded : message.forwarded) {
        // A forwarded message lists its own parts by their declared names; only the outer
        // message's attachments are saved or embedded.
        const std::vector<AttachmentListing> inner = forwardedMessageListings(forwarded);
        m_body += "<tessaly-forwarded><tessaly-caption>Forwarded message</tessaly-caption>\n";
        addMessage(forwarded, inner, depth + 1);
        m_body += "</tessaly-forwarded>\n";
    }
}

std::string Page::headerStyles() const
{
    const std::string font = "font-family:" + cssFontFamilies(FontRole::Text, m_cjk) + "!important;";
    std::string css;
    if (m_headerCount > 0) {
        std::string ids;
        for (int i = 0; i < m_headerCount; ++i)
            ids += std::string(i ? "," : "") + "#tessaly-header-" + std::to_string(i);
        const std::string h = ":is(" + ids + ")";
        css += h + "," + h + " *{all:revert!important;" + font + "}\n";
        css += h +
               "{display:block!important;margin:0 0 12pt 0!important;padding:6pt 8pt!important;"
               "background:#f2f4f7!important;border:1px solid #d0d5dd!important;border-radius:3pt!important;"
               "color:#1a1a1a!important;font-size:9pt!important;line-height:1.35!important;text-align:start!important;"
               "break-inside:avoid!important;direction:ltr!important;position:static!important;"
               "visibility:visible!important;opacity:1!important;transform:none!important;}\n";
        css += h + " tessaly-row{display:flex!important;gap:8pt!important;margin:1pt 0!important;}\n";
        css += h + " tessaly-label{display:block!important;flex:0 0 auto!important;min-width:62pt!important;"
                   "font-weight:bold!important;color:#555!important;}\n";
        css += h + " tessaly-label::after{content:\":\"!important;}\n";
        css += h + " tessaly-value{display:block!important;flex:1 1 auto!important;min-width:0!important;"
                   "unicode-bidi:isolate!important;overflow-wrap:anywhere!important;white-space:pre-wrap!important;"
                   "text-align:left!important;}\n";
        css +=
            h + " tessaly-row.tessaly-subject tessaly-value{font-weight:bold!important;font-size:10.5pt!important;}\n";
        css += h + " tessaly-name{unicode-bidi:isolate!important;}\n";
        css += h + " tessaly-attachment{display:inline-block!important;margin-right:12pt!important;"
                   "unicode-bidi:isolate!important;white-space:nowrap!important;}\n";
        css += h + " tessaly-size{color:#666!important;}\n";
        css += h + " a{color:#1a56b0!important;text-decoration:underline!important;}\n";
    }
    css += "tessaly-forwarded{display:block!important;margin:14pt 0 0 0!important;padding:8pt 0 0 0!important;"
           "border-top:1px solid #999!important;}\n";
    css += "tessaly-caption{display:block!important;" + font +
           "font-size:9pt!important;font-weight:bold!important;color:#555!important;margin:0 0 6pt 0!important;}\n";
    // Not display: a placeholder takes the image's own display, as its box does. The outline
    // takes no room from the image's size.
    css += "tessaly-remote-image{display:inline-block;max-width:100%;box-sizing:border-box!important;"
           "overflow:hidden!important;" +
           font +
           "font-size:8pt!important;color:#666!important;background:#eee!important;border:0!important;"
           "outline:1px dashed #999!important;outline-offset:-1px!important;padding:0 2pt!important;}\n";
    if (m_plainCount > 0) {
        std::string plainIds;
        for (int i = 0; i < m_plainCount; ++i)
            plainIds += std::string(i ? "," : "") + "#tessaly-plain-" + std::to_string(i);
        const std::string p = ":is(" + plainIds + ")";
        css += p + "," + p + " *{all:revert!important;}\n";
        css += p + "{display:block!important;margin:0 0 10pt 0!important;}\n";
        css += plainTextStyles(p, m_cjk);
    }
    // Word and Outlook name their pages (@page WordSection1{size:612pt 792pt}); named pages
    // force a break and Letter paper, so every element goes back to the page we set.
    // The message's own @page rules are gone (withoutPageImportAndFontRules): the paper is ours alone.
    css += "@page{size:" + m_options.paperSize + ";margin:15mm}\n*{page:auto!important}\n";
    return css;
}

std::string Page::document(const std::string &title) const
{
    std::string out;
    out.reserve(m_body.size() + m_messageStyles.size() + 8192);
    out += "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n<title>" + escapeHtml(title) + "</title>\n";
    out += "<style>\n" + fontFaceAliases();
    out += "html,body{margin:0;padding:0}\nbody{font-family:" + cssFontFamilies(FontRole::Text, m_cjk) +
           ";font-size:10.5pt;color:#1a1a1a;background:#fff}\n"
           "img{max-width:100%;height:auto}\n"
           "img{break-inside:avoid}\n"
           ".tessaly-body{margin:0 0 10pt 0}\n"
           "</style>\n";
    out += m_messageStyles;
    // After the message's sheets, so that our @page wins; in the head, so that no markup
    // the message leaves open (a <select>, a <plaintext>) can swallow it.
    out += "<style>\n" + headerStyles() + "</style>\n";
    out += "</head><body>\n" + m_body + "</body></html>\n";
    return out;
}

} // namespace

std::string composeMessageHtml(const MailMessage &message, const std::vector<AttachmentListing> &attachments,
                               const ComposeOptions &options)
{
    Page page(options, pageCjkLanguage(message).value_or(CjkLanguage::SimplifiedChinese));
    page.addMessage(message, attachments, 0);
    return page.document(message.subject);
}

std::string formatHeaderDate(const MailDate &date)
{
    static constexpr std::array<std::string_view, 7> kWeekdays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                                  "Thursday", "Friday", "Saturday"};
    static constexpr std::array<std::string_view, 12> kMonths = {"January",   "February", "March",    "April",
                                                                 "May",       "June",     "July",     "August",
                                                                 "September", "October",  "November", "December"};
    const ZonedDateTime local = zonedDateTime(date.utcSeconds, date.offsetMinutes);
    const int offset = date.offsetMinutes < 0 ? -date.offsetMinutes : date.offsetMinutes;
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, "%s, %u %s %d %02d:%02d:%02d %c%02d%02d",
                  std::string(kWeekdays[local.weekday.c_encoding()]).c_str(), static_cast<unsigned>(local.date.day()),
                  std::string(kMonths[static_cast<unsigned>(local.date.month()) - 1]).c_str(),
                  static_cast<int>(local.date.year()), static_cast<int>(local.time.hours().count()),
                  static_cast<int>(local.time.minutes().count()), static_cast<int>(local.time.seconds().count()),
                  date.offsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
    return buffer;
}

std::string percentEncodeUrlPart(std::string_view text)
{
    return percentEncode(text);
}

} // namespace tessaly
