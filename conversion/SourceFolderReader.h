// Reading the message files of a Maildir or an .eml folder into a mailbox's pipeline.
#pragma once

#include "conversion/MessageFolder.h"
#include "conversion/MessagePipeline.h"
#include "conversion/MessageText.h"
#include "conversion/RunRecorder.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace tessaly {

/// Hands each of `files` to `pipeline` as one message, whole, as a message cut from a mailbox
/// is handed over (a line starting "From " does not cut it), with its path in the source as
/// part of what identifies it. `progressed` gets the bytes read so far after each chunk.
///
/// A file that cannot be opened is a warning of the run and gets no row, so a re-run tries it
/// again; one cut short by a read error is kept as a failed message. Returns false when the
/// pipeline met a full disk, which ends the reading. When `stop` says so (asked after each
/// chunk), the reading ends there and the message being read is not handed over.
bool readMessageFiles(const std::vector<MessageFolderFile> &files, MessagePipeline &pipeline, RunRecorder &recorder,
                      const SpillFiles &spill, const std::function<void(std::uint64_t)> &progressed,
                      const std::function<bool()> &stop);

} // namespace tessaly
