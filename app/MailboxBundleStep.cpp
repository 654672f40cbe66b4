#include "app/MailboxBundleStep.h"

#include "conversion/OutputTree.h"
#include "platform/Platform.h"
#include "platform/ThrottledEventPump.h"
#include "support/PathHelpers.h"
#include "support/TextHelpers.h"

#include <filesystem>
#include <future>
#include <system_error>
#include <utility>

namespace tessaly {

std::vector<std::string> bundleConvertedMailbox(const std::string &outputFolder, const std::string &mailboxPath,
                                                const BundleAssemblerFactory &makeAssembler)
{
    const std::string mailbox = trimBlanks(mailboxPath);
    Result<std::string> folder = mailboxOutputFolder(outputFolder, mailbox);
    std::error_code error;
    if (!folder || !std::filesystem::is_directory(toFsPath(folder.value()), error))
        return {};
    const std::string notMade = sourceName(mailbox) + ": no one PDF was made: ";
    std::unique_ptr<BundleAssembler> assembler = makeAssembler ? makeAssembler() : nullptr;
    if (!assembler)
        return {notMade + "the bundle assembler could not be created"};
    Result<BundleReport> bundle = bundleMailbox(folder.value(), BundleOptions{}, *assembler);
    if (!bundle)
        return {notMade + bundle.error().message};
    std::vector<std::string> warnings;
    for (const std::string &warning : bundle.value().warnings)
        warnings.push_back(sourceName(mailbox) + ": " + warning);
    return warnings;
}

MailboxBundleStep::MailboxBundleStep(Platform &platform, BundleAssemblerFactory makeAssembler, std::string outputFolder,
                                     std::vector<std::string> mailboxes)
    : m_platform(platform), m_makeAssembler(std::move(makeAssembler)), m_outputFolder(std::move(outputFolder)),
      m_mailboxes(std::move(mailboxes))
{
}

void MailboxBundleStep::bundleRow(int row)
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_mailboxes.size())
        return;
    std::future<std::vector<std::string>> bundling =
        std::async(std::launch::async, bundleConvertedMailbox, m_outputFolder,
                   m_mailboxes[static_cast<std::size_t>(row)], m_makeAssembler);
    while (bundling.wait_for(ThrottledEventPump::kDefaultInterval) != std::future_status::ready)
        m_platform.processPendingEvents();
    std::vector<std::string> warnings = bundling.get();
    m_warnings.insert(m_warnings.end(), warnings.begin(), warnings.end());
}

} // namespace tessaly
