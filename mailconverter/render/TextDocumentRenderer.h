// Renders message pages to PDF with QTextDocument: plain-text bodies, and the fallback.
#pragma once

#include "mailconverter/render/MessageScheme.h"
#include "support/Result.h"

#include <QByteArray>
#include <QPageLayout>
#include <QString>

namespace tessaly {

class HeaderStamp;
class PageBudget;

/// Draws simple HTML (an HTML body when the web engine failed) with Qt's own text layout and
/// PDF writer. Lines wrap and are never cut
/// across pages; images come only from `resources` and are decoded under a size limit.
class TextDocumentRenderer
{
public:
    TextDocumentRenderer();

    /// Renders `html`, whose inline images are referred to as `resourceBase` + Content-ID.
    /// Images that are missing, undecodable or too large are left out. With a `header`,
    /// the first page keeps room for it at the top, and its band is painted there last for
    /// its box to be stamped on. With a
    /// `budget`, a document longer than its pages is drawn up to the last whole line that
    /// leaves room for the notice on its last page, then the notice; `*cut` (when given)
    /// says whether that happened.
    Result<QByteArray> render(const QString &html, const MessageResources &resources, const QString &resourceBase,
                              const QPageLayout &layout, const HeaderStamp *header = nullptr,
                              const PageBudget *budget = nullptr, bool *cut = nullptr) const;
};

/// Images with more pixels than this are not decoded at all.
inline constexpr qint64 kMaxImagePixels = qint64(64) * 1024 * 1024;

} // namespace tessaly
