// What the run and a converter worker say to each other over the worker's standard streams.
#pragma once

#include "mailconverter/attachments/MessageCommit.h"
#include "support/Result.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

/// The worker's command-line argument that makes each PDF carry its message's source.
inline constexpr const char *kWorkerEmbedSourceArgument = "--embed-source";
/// The worker's command-line argument, followed by "=N", that lets one message fill at most N
/// pages instead of the converter's default.
inline constexpr const char *kWorkerMessagePagesArgument = "--message-pages";

/// One message to render, as the run sends it to a worker. The worker reads no file of the
/// run's: it gets the message's bytes, and answers with the RenderedMessage to commit.
struct WorkerRequest
{
    /// The message file as the run knows it, for errors.
    std::string messageName;
    std::string messageBytes;
    CommitPlan target;
    std::string options;
};

// A frame is a 4-byte big-endian payload length, then the payload: a list of fields, each a
// 4-byte big-endian length and its bytes. Lengths are checked before anything is allocated.
//
// An answer's first field says "rendered" or "failed". A failed one carries the reason. A
// rendered one carries tagged fields: "pdf" and its bytes (once), "keep-eml" with "1" or "0",
// "source-sha256" with the hex digest, "warning" with a text, and "file" with a name and the
// bytes to save beside the PDF. It names no path: where everything goes is the supervisor's
// choice alone.

/// The most files one answer may ask to save beside a PDF.
inline constexpr std::size_t kMaxFilesPerAnswer = 4096;
/// The longest name of a file to save that an answer may give, in bytes.
inline constexpr std::size_t kMaxAnswerNameBytes = 1024;

/// The frame that asks a worker to convert one message.
std::string encodeRequest(const WorkerRequest &request);
/// The frame that answers a request: the RenderedMessage (its `converted.writtenPath` is not
/// sent) or the error.
std::string encodeAnswer(const Result<RenderedMessage> &answer);

/// Takes one whole frame's payload off the front of `buffer`. nullopt while the frame is
/// still incomplete; an Error when the buffer cannot start a valid frame, or its payload
/// would pass `maxPayloadBytes` (checked on its length, before it has all come).
Result<std::optional<std::string>> takeFrame(std::string &buffer, std::uint64_t maxPayloadBytes = UINT32_MAX);

Result<WorkerRequest> decodeRequest(std::string_view payload);
/// The answer a payload carries; the outer Error when the payload is not an answer at all, or
/// passes the bounds above.
Result<Result<RenderedMessage>> decodeAnswer(std::string_view payload);

/// Reads one frame's payload from a blocking stream. nullopt at a clean end of the stream
/// (no byte of a new frame); an Error for a torn or invalid frame.
Result<std::optional<std::string>> readFrame(std::FILE *stream);

} // namespace tessaly
