#include "workers/WorkerProtocol.h"

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
constexpr std::string_view kPdfField = "pdf";
constexpr std::string_view kKeepMessageFileField = "keep-eml";
constexpr std::string_view kSourceDigestField = "source-sha256";
constexpr std::string_view kWarningField = "warning";
constexpr std::string_view kFileField = "file";

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

std::string frameOf(const std::vector<std::string_view> &fields)
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

Result<std::vector<std::string>> fieldsOf(std::string_view payload)
{
    std::vector<std::string> fields;
    while (!payload.empty()) {
        if (payload.size() < kLengthBytes)
            return Error{"a worker message ends inside a field length"};
        const std::uint32_t length = lengthAt(payload);
        payload.remove_prefix(kLengthBytes);
        if (length > payload.size())
            return Error{"a worker message field runs past its end"};
        fields.emplace_back(payload.substr(0, length));
        payload.remove_prefix(length);
    }
    return fields;
}

} // namespace

std::string encodeRequest(const WorkerRequest &request)
{
    std::vector<std::string_view> fields{request.messageName, request.messageBytes, request.options,
                                         request.target.pdfPath};
    for (const std::string &name : request.target.namesInAttachmentFolder)
        fields.push_back(name);
    return frameOf(fields);
}

std::string encodeAnswer(const Result<RenderedMessage> &answer)
{
    if (!answer)
        return frameOf({kFailed, answer.error().message});
    const RenderedMessage &rendered = answer.value();
    const ConvertedMessage &converted = rendered.converted;
    std::vector<std::string_view> fields{kRendered,
                                         kPdfField,
                                         rendered.pdf,
                                         kKeepMessageFileField,
                                         converted.keepMessageFile ? "1" : "0",
                                         kSourceDigestField,
                                         converted.embeddedSourceSha256};
    for (const std::string &warning : converted.warnings) {
        fields.push_back(kWarningField);
        fields.push_back(warning);
    }
    for (const FileToSave &file : rendered.attachments) {
        fields.push_back(kFileField);
        fields.push_back(file.name);
        fields.push_back(file.bytes);
    }
    return frameOf(fields);
}

Result<std::optional<std::string>> takeFrame(std::string &buffer, std::uint64_t maxPayloadBytes)
{
    if (buffer.size() < kLengthBytes)
        return std::optional<std::string>();
    const std::uint32_t length = lengthAt(buffer);
    if (length > kMaxPayloadBytes || length > maxPayloadBytes)
        return Error{"a worker message claims " + std::to_string(length) + " bytes"};
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
    if (f.size() < 4)
        return Error{"a render request needs at least 4 fields, not " + std::to_string(f.size())};
    WorkerRequest request{std::move(f[0]), std::move(f[1]), CommitPlan{std::move(f[3]), {}}, std::move(f[2])};
    for (std::size_t i = 4; i < f.size(); ++i)
        request.target.namesInAttachmentFolder.push_back(std::move(f[i]));
    return request;
}

Result<Result<RenderedMessage>> decodeAnswer(std::string_view payload)
{
    Result<std::vector<std::string>> fields = fieldsOf(payload);
    if (!fields)
        return fields.error();
    std::vector<std::string> &f = fields.value();
    if (f.size() == 2 && f[0] == kFailed)
        return Result<RenderedMessage>(Error{std::move(f[1])});
    if (f.empty() || f[0] != kRendered)
        return Error{"a worker sent an answer of an unknown form"};
    RenderedMessage rendered;
    bool hasPdf = false;
    const auto valueAfter = [&f](std::size_t tag, std::size_t count) { return tag + count < f.size(); };
    for (std::size_t i = 1; i < f.size();) {
        const std::string &tag = f[i];
        if (tag == kPdfField && valueAfter(i, 1) && !hasPdf) {
            rendered.pdf = std::move(f[i + 1]);
            hasPdf = true;
            i += 2;
        } else if (tag == kKeepMessageFileField && valueAfter(i, 1) && (f[i + 1] == "0" || f[i + 1] == "1")) {
            rendered.converted.keepMessageFile = f[i + 1] == "1";
            i += 2;
        } else if (tag == kSourceDigestField && valueAfter(i, 1) && isDigestText(f[i + 1])) {
            rendered.converted.embeddedSourceSha256 = std::move(f[i + 1]);
            i += 2;
        } else if (tag == kWarningField && valueAfter(i, 1)) {
            rendered.converted.warnings.push_back(std::move(f[i + 1]));
            i += 2;
        } else if (tag == kFileField && valueAfter(i, 2)) {
            if (rendered.attachments.size() == kMaxFilesPerAnswer)
                return Error{"a worker asked to save more than " + std::to_string(kMaxFilesPerAnswer) + " files"};
            if (f[i + 1].size() > kMaxAnswerNameBytes)
                return Error{"a worker gave a file name of " + std::to_string(f[i + 1].size()) + " bytes"};
            rendered.attachments.push_back(FileToSave{std::move(f[i + 1]), std::move(f[i + 2])});
            i += 3;
        } else {
            return Error{"a worker sent an answer with a field out of place"};
        }
    }
    if (!hasPdf)
        return Error{"a worker sent an answer without a PDF"};
    return Result<RenderedMessage>(std::move(rendered));
}

Result<std::optional<std::string>> readFrame(std::FILE *stream)
{
    std::string buffer(kLengthBytes, '\0');
    const std::size_t got = std::fread(buffer.data(), 1, kLengthBytes, stream);
    if (got == 0)
        return std::optional<std::string>();
    if (got < kLengthBytes)
        return Error{"the request stream ends inside a frame"};
    const std::uint32_t length = lengthAt(buffer);
    if (length > kMaxPayloadBytes)
        return Error{"a request claims " + std::to_string(length) + " bytes"};
    buffer.resize(kLengthBytes + length);
    if (std::fread(buffer.data() + kLengthBytes, 1, length, stream) != length)
        return Error{"the request stream ends inside a frame"};
    return takeFrame(buffer);
}

} // namespace tessaly
