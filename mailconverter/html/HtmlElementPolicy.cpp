#include "mailconverter/html/HtmlElementPolicy.h"

#include "support/Utf8.h"

#include <string>

namespace tessaly {
namespace {

bool isAnimation(std::string_view name)
{
    const std::string lower = asciiLowercase(name);
    return lower == "animate" || lower == "set" || lower == "animatemotion" || lower == "animatetransform";
}

} // namespace

Treatment treatmentOf(GumboTag tag, std::string_view name)
{
    switch (tag) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_APPLET:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_PARAM:
    case GUMBO_TAG_FRAMESET:
    case GUMBO_TAG_FRAME:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_TITLE:
    case GUMBO_TAG_BASE:
    case GUMBO_TAG_LINK:
    case GUMBO_TAG_META:
    case GUMBO_TAG_BGSOUND:
    case GUMBO_TAG_KEYGEN:
    case GUMBO_TAG_DATALIST:
    case GUMBO_TAG_HEAD:
        return Treatment::Drop;
    case GUMBO_TAG_STYLE:
        return Treatment::StyleSheet;
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_SELECT:
    case GUMBO_TAG_OPTION:
    case GUMBO_TAG_OPTGROUP:
        // No script runs, so a browser shows what <noscript> holds; a list box is shown as
        // the text of its options.
        return Treatment::Unwrap;
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_ISINDEX:
        return Treatment::Block;
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_PLAINTEXT:
        return Treatment::Preformatted;
    case GUMBO_TAG_TEXTAREA:
        return Treatment::InlineText;
    default:
        return isAnimation(name) ? Treatment::Drop : Treatment::Keep;
    }
}

bool isVoidElement(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_AREA:
    case GUMBO_TAG_BR:
    case GUMBO_TAG_COL:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_SOURCE:
    case GUMBO_TAG_TRACK:
    case GUMBO_TAG_WBR:
    case GUMBO_TAG_BASEFONT:
        return true;
    default:
        return false;
    }
}

bool isTablePart(GumboTag tag)
{
    return tag == GUMBO_TAG_TABLE || tag == GUMBO_TAG_TBODY || tag == GUMBO_TAG_THEAD || tag == GUMBO_TAG_TFOOT ||
           tag == GUMBO_TAG_TR;
}

AttributeRole attributeRole(std::string_view name, bool onLink)
{
    if (name.starts_with("on") || name == "formaction" || name == "action" || name == "srcdoc" || name == "ping" ||
        name.ends_with("srcset"))
        return AttributeRole::Drop;
    if (name == "style")
        return AttributeRole::Style;
    if (name == "href" && onLink)
        return AttributeRole::LinkTarget;
    if (name == "href" || name == "src" || name == "background" || name == "poster" || name == "lowsrc" ||
        name == "dynsrc")
        return AttributeRole::Resource;
    return AttributeRole::Plain;
}

} // namespace tessaly
