// Keeps the colour emoji face out of the converter's process, so that emoji are drawn as outlines.
#pragma once

namespace tessaly {

/// Points fontconfig (FONTCONFIG_FILE) at the system's configuration plus one rule that
/// rejects Noto Color Emoji, so that every emoji, even one in a family the page names but the
/// system lacks, falls back to Symbola, an outline face: Chromium writes the colour face's
/// glyphs as 72 ppi bitmaps. Must run before Qt or WebEngine first asks fontconfig; later
/// calls do nothing. Where the file cannot be written, the colour face stays, and its emoji
/// still copy out as text.
void preferOutlineEmoji();

} // namespace tessaly
