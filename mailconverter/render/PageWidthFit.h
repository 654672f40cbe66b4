// How a web page wider than the printable column is brought onto the paper.
#pragma once

#include <QString>

namespace tessaly {

/// Shrink to fit, as a browser prints: a body that needs more than the column's width is
/// scaled down as a whole until it fits, to at most kMinScale. Below that floor the body is
/// scaled to the floor and made to wrap: a table row's cells wrap onto further lines, boxes
/// and images are held to the column, long words break.
class PageWidthFit
{
public:
    /// The smallest scale: text at 40% of 10.5 pt is still about 4 pt, readable in print.
    static constexpr qreal kMinScale = 0.4;

    /// Asked in the page's isolated script world (the message's own scripts stay off): the
    /// narrowest width, in CSS pixels, the body lays out in. The page has no view, so its
    /// viewport is 0 px wide and everything that can wrap does; what is left is the body's
    /// own minimum width (a 1,400 px table gives 1,400). QWebEnginePage::contentsSize()
    /// stays 0×0 on a page without a view (Qt 6.4).
    static QString measureScript();

    /// The fit for a body `contentWidth` CSS pixels wide in a column `columnWidth` wide.
    PageWidthFit(qreal contentWidth, qreal columnWidth);

    /// Whether the body needs more than the column.
    bool isNeeded() const { return m_scale < 1.0; }
    qreal scale() const { return m_scale; }
    /// Whether the body is wider than the floor lets it shrink, and must wrap.
    bool wraps() const { return m_wraps; }

    /// Run in the isolated world after the load and before printing: adds the style that
    /// scales the page (and makes it wrap), after every style of the message's, so it wins.
    QString applyScript() const;

private:
    qreal m_scale = 1.0;
    bool m_wraps = false;
};

} // namespace tessaly
