// What the run and a converter worker say to each other over the worker's standard streams.
#pragma once

#include "mailconverter/attachments/MessageCommit.h"
#include "support/OpenFile.h"
#include "support/Result.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// The worker's command-line argument that makes each PDF carry its message's source.
inline constexpr const char *kWorkerEmbedSourceArgument = "--embed-source";
/// The worker's command-line argument, followed by "=N", that lets one message fill at most N
/// pages instead of the converter's default.
inline constexpr const char *kWorkerMessagePagesArgument = "--message-pages";

/// One message to render, as the run sends it to a worker. The worker opens no file of the
/// run's: two open files travel with the request over the worker's standard input
/// (sendWithDescriptors), the message file to read and a file without a name to write the
/// PDF and the files to save into, and it answers with their places there.
struct WorkerRequest
{
    /// The message file as the run knows it, for errors.
    std::string messageName;
    CommitPlan target;
    std::string options;
};

/// How many open files travel with each request: the message, then the file for the output.
inline constexpr std::size_t kFilesPerRequest = 2;

// A frame is a 4-byte big-endian payload length, then the payload: a list of fields, each a
// 4-byte big-endian length and its bytes. Lengths are checked before anything is allocated.
//
// A request's fields are the message's name, the options, the planned PDF path and the names
// in its attachments folder.
//
// An answer's first field says "rendered" or "failed". A failed one carries the reason, then
// "kind" and the failure's token (see FailureKind): the run records the kind the worker
// found. A rendered one carries tagged fields: the PDF (once) as "pdf" and its bytes, or as "pdf-at"
// with the decimal offset and length of its bytes in the output file; "keep-eml" and
// "renderer-crashed" each with "1" or "0", "source-sha256" with the hex digest, "warning"
// with a text, and each file to save beside the PDF as "file" with a name and its bytes, or
// "file-at" with a name, an offset and a length in the output file. Places are checked
// against the output file's real size. It names no path: where everything goes is the
// supervisor's choice alone.

/// The most files one answer may ask to save beside a PDF.
inline constexpr std::size_t kMaxFilesPerAnswer = 4096;
/// The longest name of a file to save that an answer may give, in bytes.
inline constexpr std::size_t kMaxAnswerNameBytes = 1024;

/// A frame of `fields` as they are.
std::string encodeFrame(const std::vector<std::string_view> &fields);
/// The frame that asks a worker to convert one message.
std::string encodeRequest(const WorkerRequest &request);
/// The frame that answers a request: the RenderedMessage (its `converted.writtenPath` is not
/// sent) or the error. With `output`, the PDF and the files to save are written into it, from
/// its start (what it held goes), and the frame gives their places; else it carries them.
Result<std::string> encodeAnswer(const Result<RenderedMessage> &answer, OpenFile *output = nullptr);

/// Takes one whole frame's payload off the front of `buffer`. nullopt while the frame is
/// still incomplete; an Error when the buffer cannot start a valid frame, or its payload
/// would pass `maxPayloadBytes` (checked on its length, before it has all come).
Result<std::optional<std::string>> takeFrame(std::string &buffer, std::uint64_t maxPayloadBytes = UINT32_MAX);

Result<WorkerRequest> decodeRequest(std::string_view payload);
/// The answer a payload carries, its bytes in memory or in `output` (which they share); the
/// outer Error when the payload is not an answer at all, or passes the bounds above, or gives
/// a place that is not within `output` as it is now.
Result<Result<RenderedMessage>> decodeAnswer(std::string_view payload,
                                             const std::shared_ptr<const OpenFile> &output = {});

/// A request as a worker receives it, with the files that came with it.
struct ReceivedRequest
{
    WorkerRequest request;
    OpenFile message;
    OpenFile output;
};

/// Takes the requests that arrive on a socket (a worker's standard input), one at a time.
class RequestReader
{
public:
    explicit RequestReader(int socket) : m_socket(socket) {}
    /// Waits for the next request. nullopt at a clean end (no byte of a new frame); an Error
    /// for a torn or invalid frame, or one without its files.
    Result<std::optional<ReceivedRequest>> next();

private:
    int m_socket;
    std::string m_buffer;
    std::deque<OpenFile> m_files;
};

} // namespace tessaly
