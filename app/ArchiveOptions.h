// The window's remembered archival choices, which reach the converter workers at each run.
#pragma once

namespace tessaly {

/// Whether each PDF carries its message as an embedded .eml (as tessaly-cli --embed-source).
/// Remembered between sessions; off until chosen.
bool embedSourceChosen();
void setEmbedSourceChosen(bool chosen);

} // namespace tessaly
