#include "conversion/SourceFolderReader.h"

#include "conversion/MailboxFileReader.h"
#include "conversion/MailboxReader.h"

namespace tessaly {

bool readMessageFiles(const std::vector<MessageFolderFile> &files, MessagePipeline &pipeline, RunRecorder &recorder,
                      const SpillFiles &spill, const std::function<void(std::uint64_t)> &progressed,
                      const std::function<bool()> &stop)
{
    std::uint64_t bytesRead = 0;
    for (const MessageFolderFile &messageFile : files) {
        if (stop())
            return true;
        const SourceFile source{messageFile.relativePath, messageFile.notes};
        Result<MailboxFileReader> file = MailboxFileReader::open(messageFile.path);
        if (!file) {
            recorder.report().warnings.push_back(file.error().message);
            continue;
        }
        MailboxReader reader(
            SplitMode::Whole,
            [&](const SplitMessage &message) {
                if (!stop())
                    pipeline.take(message, &source);
            },
            0, spill);
        Result<void> read = reader.readToEnd(
            file.value(), [&](std::uint64_t fileBytes) { progressed(bytesRead + fileBytes); },
            [&] { return pipeline.diskFull() || stop(); });
        bytesRead += file.value().bytesRead();
        recorder.report().bytesRead += file.value().bytesRead();
        if (pipeline.diskFull())
            return false;
        if (!read) {
            if (const std::optional<SplitMessage> inHand = reader.messageInHand())
                pipeline.keepCutShort(*inHand, read.error());
            else
                recorder.report().warnings.push_back(read.error().message);
        }
    }
    return true;
}

} // namespace tessaly
