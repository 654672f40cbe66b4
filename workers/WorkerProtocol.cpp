// What the run and a converter worker say to each other over the worker's standard streams.
#include "WorkerProtocol.h"

#include <cstdint>
#include <vector>

namespace tessaly {
namespace {

/// No request or answer comes near this; a longer length means a stream out of step.
constexpr std::uint32_t kMaxPayloadBytes = 64u * 1024 * 1024;
constexpr std::size_t kLengthBytes = 4;
constexpr std::string_view kConverted = "converted";
constexpr std::string_view kFailed = "failed";

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
    return frameOf({request.source, request.destination, request.options});
}

std::string encodeAnswer(const Result<ConvertedMessage> &answer)
{
    if (!answer)
        return frameOf({kFailed, answer.error().message});
    const ConvertedMessage &converted = answer.value();
    std::vector<std::string_view> fields{kConverted, converted.writtenPath, converted.keepMessageFile ? "1" : "0",
                                         converted.embeddedSourceSha256};
    for (const std::string &warning : converted.warnings)
        fields.push_back(warning);
    return frameOf(fields);
}

Result<std::optional<std::string>> takeFrame(std::string &buffer)
{
    if (buffer.size() < kLengthBytes)
        return std::optional<std::string>();
    const std::uint32_t length = lengthAt(buffer);
    if (length > kMaxPayloadBytes)
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
    if (fields.value().size() != 3)
        return Error{"a conversion request needs 3 fields, not " + std::to_string(fields.value().size())};
    std::vector<std::string> &f = fields.value();
    return WorkerRequest{std::move(f[0]), std::move(f[1]), std::move(f[2])};
}

Result<Result<ConvertedMessage>> decodeAnswer(std::string_view payload)
{
    Result<std::vector<std::string>> fields = fieldsOf(payload);
    if (!fields)
        return fields.error();
    std::vector<std::string> &f = fields.value();
    if (f.size() == 2 && f[0] == kFailed)
        return Result<ConvertedMessage>(Error{std::move(f[1])});
    if (f.size() < 4 || f[0] != kConverted)
        return Error{"a worker sent an answer of an unknown form"};
    ConvertedMessage converted;
    converted.writtenPath = std::move(f[1]);
    converted.keepMessageFile = f[2] == "1";
    converted.embeddedSourceSha256 = std::move(f[3]);
    for (std::size_t i = 4; i < f.size(); ++i)
        converted.warnings.push_back(std::move(f[i]));
    return Result<ConvertedMessage>(std::move(converted));
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
