// Makes fontconfig offer the outline emoji face first, so that emoji are drawn as outlines.
#pragma once

namespace tessaly {

/// Points fontconfig (FONTCONFIG_FILE) at the system's configuration plus one rule: a
/// fallback for emoji looks in Symbola, an outline face, before any colour face, so that an
/// emoji in a family the page names but the system lacks is drawn as an outline too (Chromium
/// writes the colour face's glyphs as 72 ppi bitmaps). Emoji newer than Symbola still come
/// from the colour face, as bitmaps, rather than not at all; both copy out as text. Must run
/// before Qt or WebEngine first asks fontconfig; later calls do nothing. Where the file
/// cannot be written, fontconfig stays as it was.
void preferOutlineEmoji();

} // namespace tessaly
