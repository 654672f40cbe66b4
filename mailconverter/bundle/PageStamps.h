// The stamps a bundle puts in the bottom margin of its pages: "page X of Y" and Bates numbers.
#pragma once

#include "support/Result.h"

#include <QByteArray>

#include <string>
#include <vector>

namespace tessaly {

/// What one page gets stamped: a page the size of the page it goes on, blank but for its texts.
struct PageStamp
{
    double widthPoints = 0;
    double heightPoints = 0;
    std::string centre; ///< at the foot's centre ("page 3 of 40"), or empty
    std::string right;  ///< at the foot's right, flush with the column's edge ("ABC-000123"), or empty
};

/// Draws stamps with Pango and Cairo, as text that a reader can search and copy.
class PageStamps
{
public:
    /// The foot line sits this far above the page's bottom edge: inside the converter's 15 mm
    /// margin, clear of the lowest line of the body.
    static constexpr double kFootPoints = 16;
    /// The right stamp ends this far from the page's right edge, where the column ends.
    static constexpr double kRightInsetPoints = 42.52;

    /// A PDF with one page per stamp, each `widthPoints` × `heightPoints`, in their order.
    /// Fails only when Cairo cannot write it.
    static Result<QByteArray> draw(const std::vector<PageStamp> &stamps);
};

} // namespace tessaly
