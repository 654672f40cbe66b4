#include "conversion/SourceFolderReader.h"

#include "conversion/MailboxFileReader.h"
#include "conversion/MailboxReader.h"

namespace tessaly {

bool readMessageFiles(const std::vector<MessageFolderFile> &files, MessagePipeline &pipeline, RunRecorder &recorder,
                      const SpillFiles &spill, const std::function<void(std::uint64_t)> &progressed)
{
    std::uint64_t bytesRead = 0;
    for (const MessageFolderFile &messageFile : files) {
        const SourceFile source{messageFile.relativePath, messageFile.notes};
        Result<MailboxFileReader> file = MailboxFileReader::open(messageFile.path);
        if (!file) {
            recorder.report().warnings.push_back(file.error().message);
            continue;
        }
        MailboxReader reader(
            SplitMode::Whole,
            [&](const SplitMessage &message) {
                SplitMessage fromFile = message;
                fromFile.sourceFile = source.relativePath;
                pipeline.take(fromFile, &source);
            },
            0, spill);
        Result<void> read = reader.readToEnd(
            file.value(), [&](std::uint64_t fileBytes) { progressed(bytesRead + fileBytes); },
            [&pipeline] { return pipeline.diskFull(); });
        bytesRead += file.value().bytesRead();
        recorder.report().bytesRead += file.value().bytesRead();
        if (pipeline.diskFull())
            return false;
        if (!read) {
            if (const std::optional<SplitMessage> inHand = reader.messageInHand())
                pipeline.keepCutShort(*inHand, read.error().message);
            else
                recorder.report().warnings.push_back(read.error().message);
        }
    }
    return true;
}

} // namespace tessaly
