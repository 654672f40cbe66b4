// A MailConverter for tests: records every call and writes the message's bytes as the "PDF".
#pragma once

#include "platform/MailConverter.h"
#include "support/PathHelpers.h"
#include "support/PendingFile.h"

#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace tessaly::testing {

class RecordingConverter : public MailConverter
{
public:
    struct Call
    {
        std::string source;
        std::string destination;
        std::string options;
        /// The message file's bytes as the converter saw them.
        std::string sourceBytes;
    };

    enum class Outcome
    {
        Succeed,
        Fail,
        Throw,
        DiskFull
    };

    /// Decides the outcome of the n-th call (from 1); every call succeeds by default.
    std::function<Outcome(int callNumber, const Call &call)> outcome;

    std::vector<Call> calls;

    using MailConverter::Convert;
    Result<ConvertedMessage> Convert(const FileInFolder &source, const FileInFolder &destination,
                                     const std::string &options) override
    {
        Call call{source.path(), destination.path(), options, readAll(source.path())};
        calls.push_back(call);
        const Outcome what = outcome ? outcome(static_cast<int>(calls.size()), call) : Outcome::Succeed;
        if (what == Outcome::Throw)
            throw std::runtime_error("converter crashed");
        if (what == Outcome::Fail)
            return Error{"cannot render the message", FailureKind::RenderFailed};
        if (what == Outcome::DiskFull)
            return Error{"cannot write the PDF: No space left on device", FailureKind::DiskFull};

        auto pending = PendingFile::createIn(destination.folder);
        if (!pending)
            return pending.error();
        if (auto written = pending.value().write(call.sourceBytes); !written)
            return written.error();
        auto committed = pending.value().commitAs(destination.name);
        if (!committed)
            return committed.error();
        return ConvertedMessage{destination.folder.pathOf(committed.value()), 0, 0, {}};
    }

    static std::string readAll(const std::string &path)
    {
        std::ifstream file(toFsPath(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
};

/// A factory that hands out `converter` (owned by the test) for one run.
inline MailConverterFactory borrowConverter(RecordingConverter &converter)
{
    struct Borrowed : MailConverter
    {
        explicit Borrowed(RecordingConverter &target) : m_target(target) {}
        using MailConverter::Convert;
        Result<ConvertedMessage> Convert(const FileInFolder &source, const FileInFolder &destination,
                                         const std::string &options) override
        {
            return m_target.Convert(source, destination, options);
        }
        RecordingConverter &m_target;
    };
    return [&converter]() -> Result<std::unique_ptr<MailConverter>> {
        return std::unique_ptr<MailConverter>(std::make_unique<Borrowed>(converter));
    };
}

} // namespace tessaly::testing
