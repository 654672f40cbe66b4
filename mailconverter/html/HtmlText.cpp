#include "mailconverter/html/HtmlText.h"

#include "mailconverter/html/HtmlNestingLimit.h"

#include <gumbo.h>

#include <memory>

namespace tessaly {
namespace {

bool isHidden(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_HEAD:
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_TITLE:
    case GUMBO_TAG_TEMPLATE:
        return true;
    default:
        return false;
    }
}

bool isBlock(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_ASIDE:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_CENTER:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_FIELDSET:
    case GUMBO_TAG_FIGCAPTION:
    case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_MAIN:
    case GUMBO_TAG_NAV:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_P:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_TR:
    case GUMBO_TAG_UL:
        return true;
    default:
        return false;
    }
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

struct GumboOutputDeleter
{
    void operator()(GumboOutput *output) const { gumbo_destroy_output(&kGumboDefaultOptions, output); }
};

class TextWriter
{
public:
    void walk(const GumboNode *node);
    std::string take();

private:
    void text(std::string_view text);
    void lineBreak();

    std::string m_out;
    bool m_pendingSpace = false;
    int m_preformatted = 0;
};

void TextWriter::lineBreak()
{
    m_pendingSpace = false;
    m_out += '\n';
}

void TextWriter::text(std::string_view text)
{
    if (m_preformatted > 0) {
        for (char c : text)
            m_out += c == '\r' ? '\n' : c;
        return;
    }
    for (char c : text) {
        if (isSpace(c)) {
            m_pendingSpace = true;
            continue;
        }
        if (m_pendingSpace && !m_out.empty() && m_out.back() != '\n')
            m_out += ' ';
        m_pendingSpace = false;
        m_out += c;
    }
}

void TextWriter::walk(const GumboNode *node)
{
    switch (node->type) {
    case GUMBO_NODE_TEXT:
    case GUMBO_NODE_WHITESPACE:
    case GUMBO_NODE_CDATA:
        text(node->v.text.text);
        return;
    case GUMBO_NODE_ELEMENT:
        break;
    default:
        return;
    }
    const GumboElement &element = node->v.element;
    if (isHidden(element.tag))
        return;
    if (element.tag == GUMBO_TAG_BR) {
        lineBreak();
        return;
    }
    if (element.tag == GUMBO_TAG_TD || element.tag == GUMBO_TAG_TH)
        m_pendingSpace = true;
    const bool block = isBlock(element.tag);
    if (block && !m_out.empty() && m_out.back() != '\n')
        lineBreak();
    m_preformatted += element.tag == GUMBO_TAG_PRE;
    for (unsigned i = 0; i < element.children.length; ++i)
        walk(static_cast<const GumboNode *>(element.children.data[i]));
    m_preformatted -= element.tag == GUMBO_TAG_PRE;
    if (block && !m_out.empty() && m_out.back() != '\n')
        lineBreak();
    if (element.tag == GUMBO_TAG_TD || element.tag == GUMBO_TAG_TH)
        m_pendingSpace = true;
}

std::string TextWriter::take()
{
    const std::size_t first = m_out.find_first_not_of('\n');
    if (first == std::string::npos)
        return {};
    const std::size_t last = m_out.find_last_not_of('\n');
    return m_out.substr(first, last - first + 1);
}

} // namespace

std::string htmlText(std::string_view html)
{
    const std::string input = limitHtmlNesting(html);
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;
    const std::unique_ptr<GumboOutput, GumboOutputDeleter> output(
        gumbo_parse_with_options(&options, input.data(), input.size()));
    if (!output || !output->root)
        return {};
    TextWriter writer;
    writer.walk(output->root);
    return writer.take();
}

} // namespace tessaly
