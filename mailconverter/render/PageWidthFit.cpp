#include "mailconverter/render/PageWidthFit.h"

#include <cmath>

namespace tessaly {
namespace {

// Half a pixel of subpixel layout is no overflow.
constexpr qreal kTolerance = 0.5;

// Below the floor: every box is held to its container, a table row becomes a line of cells
// that wraps, text that would not wrap (nowrap, <pre>, long words) does. Images keep the
// shape their width and height attributes give them. Single quotes only: the sheet travels
// in a double-quoted script string.
constexpr char kWrapStyle[] = "body *{max-width:100%!important;min-width:0!important;box-sizing:border-box!important;"
                              "overflow-wrap:anywhere!important}"
                              "table,thead,tbody,tfoot{display:block!important;width:auto!important}"
                              "tr{display:flex!important;flex-wrap:wrap!important;width:auto!important}"
                              "td,th{display:block!important;flex:0 1 auto!important}"
                              "[nowrap],[style*='nowrap' i]{white-space:normal!important}"
                              "pre{white-space:pre-wrap!important}"
                              "img[width][height]{height:auto!important}";

} // namespace

QString PageWidthFit::measureScript()
{
    return QStringLiteral("document.documentElement.scrollWidth");
}

PageWidthFit::PageWidthFit(qreal contentWidth, qreal columnWidth)
{
    if (!(contentWidth > columnWidth + kTolerance) || !(columnWidth > 0))
        return;
    // Rounded down, so that the scaled body is never a fraction of a pixel too wide.
    m_scale = std::floor(columnWidth / contentWidth * 1000.0) / 1000.0;
    if (m_scale < kMinScale) {
        m_scale = kMinScale;
        m_wraps = true;
    }
}

QString PageWidthFit::applyScript() const
{
    QString css = QStringLiteral("html{zoom:%1!important}").arg(m_scale, 0, 'f', 3);
    if (m_wraps)
        css += QLatin1String(kWrapStyle);
    return QStringLiteral("(function(){var s=document.createElement('style');s.textContent=\"%1\";"
                          "(document.head||document.documentElement).appendChild(s);})()")
        .arg(css);
}

} // namespace tessaly
