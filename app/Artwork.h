// Tessaly's own artwork, drawn in code: the program icon and the window's title banner.
#pragma once

#include <QIcon>
#include <QImage>

namespace tessaly {

/// The icon, an envelope in front of a written page, `size` pixels square.
QImage drawProgramIcon(int size);
/// The icon at 16, 32, 48 and 256 pixels.
QIcon programIcon();
/// The 600 × 85 banner: the icon's symbol and "Tessaly" on a blue ground, drawn with
/// `devicePixelRatio` device pixels to a pixel so that it is sharp on that screen.
QImage drawBanner(qreal devicePixelRatio = 1.0);

/// The sizes the icon is drawn and installed at.
inline constexpr int kIconSizes[] = {16, 32, 48, 256};

} // namespace tessaly
