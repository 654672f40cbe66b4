#include "workers/WorkerProtocol.h"

#include "support/DescriptorChannel.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {
namespace {

/// Requests and answers carry whole messages and PDFs, which the worker's memory limit keeps
/// well below this; a longer length means a stream out of step.
constexpr std::uint32_t kMaxPayloadBytes = 1u << 31;
constexpr std::size_t kLengthBytes = 4;
constexpr std::string_view kRendered = "rendered";
constexpr std::string_view kFailed = "failed";
constexpr std::string_view kKind = "kind";
constexpr std::string_view kPdfField = "pdf";
constexpr std::string_view kPdfAtField = "pdf-at";
constexpr std::string_view kKeepMessageFileField = "keep-eml";
constexpr std::string_view kHtmlRendererCrashedField = "renderer-crashed";
constexpr std::string_view kSourceDigestField = "source-sha256";
constexpr std::string_view kMessageDigestField = "message-sha256";
constexpr std::string_view kEmbeddedCountField = "embedded";
constexpr std::string_view kWarningField = "warning";
constexpr std::string_view kFileField = "file";
constexpr std::string_view kFileAtField = "file-at";

void appendLength(std::string &out, std::size_t length)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((length >> shift) & 0xFF));
}

std::uint32_t lengthAt(std::string_view bytes)
{
    std::uint32_t length = 0;
    for (std::size_t i = 0; i < kLengthBytes; ++i)
        length = (length << 8) | static_cast<unsigned char>(bytes[i]);
    return length;
}

/// A SHA-256 digest as hex, or nothing.
bool isDigestText(const std::string &text)
{
    return text.empty() || (text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos);
}

/// A decimal number of at most 19 digits, or nothing.
std::optional<std::uint64_t> numberIn(const std::string &text)
{
    std::uint64_t number = 0;
    if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    std::from_chars(text.data(), text.data() + text.size(), number);
    return number;
}

/// Writes `bytes` at the end of `output`, whose size `written` tracks, and gives the place as
/// two fields, offset and length.
Result<void> place(const ByteSource &bytes, OpenFile &output, std::uint64_t &written, std::vector<std::string> &places)
{
    places.push_back(std::to_string(written));
    places.push_back(std::to_string(bytes.size()));
    if (Result<void> copied = bytes.copyTo([&output](std::string_view chunk) { return output.write(chunk); }); !copied)
        return copied;
    written += bytes.size();
    return {};
}

} // namespace

std::string encodeFrame(const std::vector<std::string_view> &fields)
{
    std::string payload;
    for (std::string_view field : fields) {
        appendLength(payload, field.size());
        payload += field;
    }
    std::string frame;
    appendLength(frame, payload.size());
    return frame + payload;
}

namespace {

Result<std::vector<std::string>> fieldsOf(std::string_view payload)
{
    std::vector<std::string> fields;
    while (!payload.empty()) {
        if (payload.size() < kLengthBytes)
            return Error{"a worker message ends inside a field length", FailureKind::WorkerOutOfBounds};
        const std::uint32_t length = lengthAt(payload);
        payload.remove_prefix(kLengthBytes);
        if (length > payload.size())
            return Error{"a worker message field runs past its end", FailureKind::WorkerOutOfBounds};
        fields.emplace_back(payload.substr(0, length));
        payload.remove_prefix(length);
    }
    return fields;
}

} // namespace

std::string encodeRequest(const WorkerRequest &request)
{
    std::vector<std::string_view> fields{request.messageName, request.options, request.target.pdfPath};
    for (const std::string &name : request.target.namesInAttachmentFolder)
        fields.push_back(name);
    return encodeFrame(fields);
}

Result<std::string> encodeAnswer(const Result<RenderedMessage> &answer, OpenFile *output)
{
    if (!answer)
        return encodeFrame({kFailed, answer.error().message, kKind, failureToken(answer.error().kind)});
    const RenderedMessage &rendered = answer.value();
    const ConvertedMessage &converted = rendered.converted;
    // Each place's two numbers, or each body in memory; reserved so that views into it hold.
    std::vector<std::string> values;
    values.reserve(2 * (1 + rendered.attachments.size()));
    std::uint64_t written = 0;
    if (output) {
        if (Result<void> cleared = output->clear(); !cleared)
            return cleared.error();
    }
    // Into the output file as a place, or into the answer itself.
    const auto addBytes = [&](const ByteSource &bytes) -> Result<void> {
        if (output)
            return place(bytes, *output, written, values);
        Result<std::string> read = bytes.read();
        if (!read)
            return read.error();
        values.push_back(std::move(read).value());
        return {};
    };
    if (Result<void> added = addBytes(rendered.pdf); !added)
        return added.error();
    std::vector<std::string_view> fields{kRendered, output ? kPdfAtField : kPdfField};
    for (const std::string &value : values)
        fields.push_back(value);
    const std::string embeddedCount = std::to_string(converted.attachmentsEmbedded);
    fields.insert(fields.end(),
                  {kKeepMessageFileField, converted.keepMessageFile ? "1" : "0", kHtmlRendererCrashedField,
                   rendered.htmlRendererCrashed ? "1" : "0", kSourceDigestField, converted.embeddedSourceSha256,
                   kMessageDigestField, rendered.messageDigest, kEmbeddedCountField, embeddedCount});
    for (const std::string &warning : converted.warnings) {
        fields.push_back(kWarningField);
        fields.push_back(warning);
    }
    for (const FileToSave &file : rendered.attachments) {
        const std::size_t first = values.size();
        if (Result<void> added = addBytes(file.bytes); !added)
            return added.error();
        fields.push_back(output ? kFileAtField : kFileField);
        fields.push_back(file.name);
        for (std::size_t i = first; i < values.size(); ++i)
            fields.push_back(values[i]);
    }
    return encodeFrame(fields);
}

Result<std::optional<std::string>> takeFrame(std::string &buffer, std::uint64_t maxPayloadBytes)
{
    if (buffer.size() < kLengthBytes)
        return std::optional<std::string>();
    const std::uint32_t length = lengthAt(buffer);
    if (length > kMaxPayloadBytes || length > maxPayloadBytes)
        return Error{"a worker message claims " + std::to_string(length) + " bytes", FailureKind::WorkerOutOfBounds};
    if (buffer.size() - kLengthBytes < length)
        return std::optional<std::string>();
    std::string payload = buffer.substr(kLengthBytes, length);
    buffer.erase(0, kLengthBytes + length);
    return std::optional<std::string>(std::move(payload));
}

Result<WorkerRequest> decodeRequest(std::string_view payload)
{
    Result<std::vector<std::string>> fields = fieldsOf(payload);
    if (!fields)
        return fields.error();
    std::vector<std::string> &f = fields.value();
    if (f.size() < 3)
        return Error{"a render request needs at least 3 fields, not " + std::to_string(f.size()),
                     FailureKind::InternalError};
    WorkerRequest request{std::move(f[0]), CommitPlan{std::move(f[2]), {}}, std::move(f[1])};
    for (std::size_t i = 3; i < f.size(); ++i)
        request.target.namesInAttachmentFolder.push_back(std::move(f[i]));
    return request;
}

Result<Result<RenderedMessage>> decodeAnswer(std::string_view payload, const std::shared_ptr<const OpenFile> &output)
{
    Result<std::vector<std::string>> fields = fieldsOf(payload);
    if (!fields)
        return fields.error();
    std::vector<std::string> &f = fields.value();
    // A failure names its kind: one without, or of a kind unknown here, is out of bounds.
    if (f.size() == 4 && f[0] == kFailed && f[2] == kKind) {
        const std::optional<FailureKind> kind = failureKindOfToken(f[3]);
        if (!kind)
            return Error{"a worker sent a failure of an unknown kind", FailureKind::WorkerOutOfBounds};
        return Result<RenderedMessage>(Error{std::move(f[1]), *kind});
    }
    if (!f.empty() && f[0] == kFailed)
        return Error{"a worker sent a failure without its kind", FailureKind::WorkerOutOfBounds};
    if (f.empty() || f[0] != kRendered)
        return Error{"a worker sent an answer of an unknown form", FailureKind::WorkerOutOfBounds};
    RenderedMessage rendered;
    bool hasPdf = false;
    const auto valueAfter = [&f](std::size_t tag, std::size_t count) { return tag + count < f.size(); };
    std::optional<std::uint64_t> outputSize;
    if (output) {
        Result<std::uint64_t> size = output->size();
        if (!size)
            return size.error();
        outputSize = size.value();
    }
    // The bytes at the place given by the two fields from `first` on, when it lies within the output file.
    const auto placedAt = [&](std::size_t first) -> Result<ByteSource> {
        const std::optional<std::uint64_t> offset = numberIn(f[first]);
        const std::optional<std::uint64_t> length = numberIn(f[first + 1]);
        if (!offset || !length)
            return Error{"a worker gave a place that is not two numbers", FailureKind::WorkerOutOfBounds};
        if (!outputSize || *offset > *outputSize || *length > *outputSize - *offset)
            return Error{"a worker gave bytes " + f[first] + " to " + std::to_string(*offset + *length) + " of " +
                             (outputSize ? "a file of " + std::to_string(*outputSize) + " bytes" : "no file"),
                         FailureKind::WorkerOutOfBounds};
        return ByteSource::inFile(output, *offset, *length);
    };
    for (std::size_t i = 1; i < f.size();) {
        const std::string &tag = f[i];
        if (tag == kPdfField && valueAfter(i, 1) && !hasPdf) {
            rendered.pdf = std::move(f[i + 1]);
            hasPdf = true;
            i += 2;
        } else if (tag == kPdfAtField && valueAfter(i, 2) && !hasPdf) {
            Result<ByteSource> placed = placedAt(i + 1);
            if (!placed)
                return placed.error();
            rendered.pdf = std::move(placed).value();
            hasPdf = true;
            i += 3;
        } else if (tag == kKeepMessageFileField && valueAfter(i, 1) && (f[i + 1] == "0" || f[i + 1] == "1")) {
            rendered.converted.keepMessageFile = f[i + 1] == "1";
            i += 2;
        } else if (tag == kHtmlRendererCrashedField && valueAfter(i, 1) && (f[i + 1] == "0" || f[i + 1] == "1")) {
            rendered.htmlRendererCrashed = f[i + 1] == "1";
            i += 2;
        } else if (tag == kSourceDigestField && valueAfter(i, 1) && isDigestText(f[i + 1])) {
            rendered.converted.embeddedSourceSha256 = std::move(f[i + 1]);
            i += 2;
        } else if (const std::optional<std::uint64_t> count =
                       tag == kEmbeddedCountField && valueAfter(i, 1) ? numberIn(f[i + 1]) : std::nullopt;
                   count && *count <= kMaxFilesPerAnswer) {
            rendered.converted.attachmentsEmbedded = static_cast<int>(*count);
            i += 2;
        } else if (tag == kMessageDigestField && valueAfter(i, 1) && isDigestText(f[i + 1])) {
            rendered.messageDigest = std::move(f[i + 1]);
            i += 2;
        } else if (tag == kWarningField && valueAfter(i, 1)) {
            rendered.converted.warnings.push_back(std::move(f[i + 1]));
            i += 2;
        } else if ((tag == kFileField && valueAfter(i, 2)) || (tag == kFileAtField && valueAfter(i, 3))) {
            if (rendered.attachments.size() == kMaxFilesPerAnswer)
                return Error{"a worker asked to save more than " + std::to_string(kMaxFilesPerAnswer) + " files",
                             FailureKind::WorkerOutOfBounds};
            if (f[i + 1].size() > kMaxAnswerNameBytes)
                return Error{"a worker gave a file name of " + std::to_string(f[i + 1].size()) + " bytes",
                             FailureKind::WorkerOutOfBounds};
            if (tag == kFileField) {
                rendered.attachments.push_back(FileToSave{std::move(f[i + 1]), std::move(f[i + 2])});
                i += 3;
                continue;
            }
            Result<ByteSource> placed = placedAt(i + 2);
            if (!placed)
                return placed.error();
            rendered.attachments.push_back(FileToSave{std::move(f[i + 1]), std::move(placed).value()});
            i += 4;
        } else {
            return Error{"a worker sent an answer with a field out of place", FailureKind::WorkerOutOfBounds};
        }
    }
    if (!hasPdf)
        return Error{"a worker sent an answer without a PDF", FailureKind::WorkerOutOfBounds};
    return Result<RenderedMessage>(std::move(rendered));
}

Result<std::optional<ReceivedRequest>> RequestReader::next()
{
    for (;;) {
        Result<std::optional<std::string>> frame = takeFrame(m_buffer, kMaxPayloadBytes);
        if (!frame)
            return frame.error();
        if (frame.value()) {
            Result<WorkerRequest> request = decodeRequest(*frame.value());
            if (!request)
                return request.error();
            // The files came with the frame's first byte, after those of the frames before.
            if (m_files.size() < kFilesPerRequest)
                return Error{"a request came without its files", FailureKind::InternalError};
            ReceivedRequest received{std::move(request).value(), std::move(m_files[0]), std::move(m_files[1])};
            m_files.erase(m_files.begin(), m_files.begin() + kFilesPerRequest);
            return std::optional<ReceivedRequest>(std::move(received));
        }
        Result<std::size_t> got = receiveWithDescriptors(m_socket, m_buffer, m_files);
        if (!got)
            return got.error();
        if (got.value() == 0) {
            if (!m_buffer.empty())
                return Error{"the request stream ends inside a frame", FailureKind::InternalError};
            return std::optional<ReceivedRequest>();
        }
    }
}

} // namespace tessaly
