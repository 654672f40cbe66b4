#include "platform/ConcurrentMailConverter.h"

#include <optional>
#include <utility>

namespace tessaly {
namespace {

class OneAtATime : public ConcurrentMailConverter
{
public:
    explicit OneAtATime(std::unique_ptr<MailConverter> converter) : m_converter(std::move(converter)) {}

    int capacity() const override { return 1; }
    void takeBackUnrecordedOutputs() override { m_converter->takeBackUnrecordedOutputs(); }

    void begin(const FileInFolder &source, const FileInFolder &destination, const std::string &options) override
    {
        m_begun = Request{source, destination, options};
    }

    Result<ConvertedMessage> finishOldest() override
    {
        if (!m_begun)
            return Error{"no message was handed to the converter", FailureKind::InternalError};
        const Request request = std::move(*m_begun);
        m_begun.reset();
        return m_converter->Convert(request.source, request.destination, request.options);
    }

private:
    struct Request
    {
        FileInFolder source;
        FileInFolder destination;
        std::string options;
    };
    std::unique_ptr<MailConverter> m_converter;
    std::optional<Request> m_begun;
};

} // namespace

std::unique_ptr<ConcurrentMailConverter> oneAtATime(std::unique_ptr<MailConverter> converter)
{
    return std::make_unique<OneAtATime>(std::move(converter));
}

ConcurrentMailConverterFactory oneAtATime(MailConverterFactory makeConverter)
{
    return [makeConverter = std::move(makeConverter)]() -> Result<std::unique_ptr<ConcurrentMailConverter>> {
        if (!makeConverter)
            return Error{"no converter is set up", FailureKind::InternalError};
        Result<std::unique_ptr<MailConverter>> converter = makeConverter();
        if (!converter)
            return converter.error();
        if (!converter.value())
            return Error{"the converter could not be created", FailureKind::InternalError};
        return oneAtATime(std::move(converter).value());
    };
}

} // namespace tessaly
