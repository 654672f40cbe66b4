#include "mailconverter/pdf/PdfTextPresence.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <exception>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tessaly {
namespace {

/// How deep Form XObjects drawn inside Form XObjects are followed; renderers nest one or two.
constexpr int kMaxFormDepth = 4;

bool hasGlyphs(QPDFObjectHandle font)
{
    if (!font.isDictionary())
        return false;
    if (font.getKey("/Subtype").isNameAndEquals("/Type3"))
        return true;
    QPDFObjectHandle descriptor = font.getKey("/FontDescriptor");
    if (font.getKey("/Subtype").isNameAndEquals("/Type0")) {
        QPDFObjectHandle descendants = font.getKey("/DescendantFonts");
        if (!descendants.isArray() || descendants.getArrayNItems() == 0)
            return false;
        descriptor = descendants.getArrayItem(0).getKey("/FontDescriptor");
    }
    return descriptor.isDictionary() &&
           (descriptor.hasKey("/FontFile") || descriptor.hasKey("/FontFile2") || descriptor.hasKey("/FontFile3"));
}

bool isNonEmptyString(QPDFObjectHandle operand)
{
    return operand.isString() && !operand.getStringValue().empty();
}

/// Reads one content stream (a page's or a form's) until it shows text in a font with
/// glyphs, noting the forms it draws.
class TextFinder : public QPDFObjectHandle::ParserCallbacks
{
public:
    explicit TextFinder(QPDFObjectHandle resources) : m_resources(resources) {}

    bool foundText() const { return m_found; }
    const std::vector<std::string> &drawnObjects() const { return m_drawn; }

    void handleObject(QPDFObjectHandle object) override
    {
        if (!object.isOperator()) {
            m_operands.push_back(object);
            return;
        }
        const std::string op = object.getOperatorValue();
        if (op == "Tf" && m_operands.size() >= 2 && m_operands[m_operands.size() - 2].isName()) {
            m_fontHasGlyphs = fontHasGlyphs(m_operands[m_operands.size() - 2].getName());
        } else if (op == "Do" && !m_operands.empty() && m_operands.back().isName()) {
            m_drawn.push_back(m_operands.back().getName());
        } else if (m_fontHasGlyphs && !m_operands.empty() && showsCharacters(op, m_operands.back())) {
            m_found = true;
            m_operands.clear();
            terminateParsing();
        }
        m_operands.clear();
    }

    void handleEOF() override {}

private:
    static bool showsCharacters(const std::string &op, QPDFObjectHandle last)
    {
        if (op == "Tj" || op == "'" || op == "\"")
            return isNonEmptyString(last);
        if (op != "TJ" || !last.isArray())
            return false;
        for (const QPDFObjectHandle &item : last.getArrayAsVector()) {
            if (isNonEmptyString(item))
                return true;
        }
        return false;
    }

    bool fontHasGlyphs(const std::string &name)
    {
        const auto known = m_fonts.find(name);
        if (known != m_fonts.end())
            return known->second;
        QPDFObjectHandle fonts = m_resources.isDictionary() ? m_resources.getKey("/Font") : QPDFObjectHandle();
        const bool glyphs = fonts.isDictionary() && hasGlyphs(fonts.getKey(name));
        m_fonts.emplace(name, glyphs);
        return glyphs;
    }

    QPDFObjectHandle m_resources;
    std::vector<QPDFObjectHandle> m_operands;
    std::map<std::string, bool> m_fonts;
    std::vector<std::string> m_drawn;
    bool m_fontHasGlyphs = false;
    bool m_found = false;
};

/// Whether the page or form `owner` draws text, itself or through the forms it draws.
bool drawsText(QPDFObjectHandle owner, QPDFObjectHandle resources, int depth, std::set<QPDFObjGen> &visited)
{
    TextFinder finder(resources);
    QPDFPageObjectHelper(owner).parseContents(&finder);
    if (finder.foundText())
        return true;
    if (depth >= kMaxFormDepth || !resources.isDictionary())
        return false;
    QPDFObjectHandle objects = resources.getKey("/XObject");
    if (!objects.isDictionary())
        return false;
    for (const std::string &name : finder.drawnObjects()) {
        QPDFObjectHandle form = objects.getKey(name);
        if (!form.isFormXObject() || !visited.insert(form.getObjGen()).second)
            continue;
        // A form without resources of its own uses those of what draws it.
        QPDFObjectHandle formResources = form.getDict().getKey("/Resources");
        if (drawsText(form, formResources.isDictionary() ? formResources : resources, depth + 1, visited))
            return true;
    }
    return false;
}

} // namespace

Result<bool> pdfDrawsText(const QByteArray &pdf)
{
    try {
        QPDF document;
        document.setSuppressWarnings(true);
        document.processMemoryFile("rendered message", pdf.constData(), size_t(pdf.size()));
        std::set<QPDFObjGen> visited;
        for (QPDFPageObjectHelper &page : QPDFPageDocumentHelper(document).getAllPages()) {
            if (drawsText(page.getObjectHandle(), page.getAttribute("/Resources", false), 0, visited))
                return true;
        }
        return false;
    } catch (const std::exception &failure) {
        return Error{std::string("cannot read the rendered PDF: ") + failure.what(), FailureKind::RenderFailed};
    }
}

} // namespace tessaly
