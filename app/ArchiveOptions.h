// The window's remembered archival choices, which reach the converter workers at each run.
#pragma once

namespace tessaly {

/// Whether each PDF carries its message as an embedded .eml (as tessaly-cli --embed-source).
/// Remembered between sessions; off until chosen.
bool embedSourceChosen();
void setEmbedSourceChosen(bool chosen);

/// Whether a window run also makes one PDF of each mailbox it converted (as tessaly-cli bundle).
/// Remembered between sessions; off until chosen.
bool bundleChosen();
void setBundleChosen(bool chosen);

} // namespace tessaly
