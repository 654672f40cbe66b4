// The window's font: Tahoma where the system has it, else a sans-serif of like metrics.
#pragma once

#include <QFont>

namespace tessaly {

/// The layout was drawn for Tahoma 8.25 pt at 96 dots per inch, which is 11 pixels; sizes are
/// given in pixels so the absolute layout keeps fitting whatever the screen's resolution.
inline constexpr int kWindowFontPixels = 11;
/// 14.25 pt at 96 dots per inch, for the Convert button.
inline constexpr int kConvertFontPixels = 19;

/// The first of Tahoma, Liberation Sans, Noto Sans, DejaVu Sans that is installed.
QFont windowFont(int pixelSize = kWindowFontPixels);

} // namespace tessaly
