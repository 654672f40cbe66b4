// One PDF per mailbox after a window run converted it, made while the window keeps drawing.
#pragma once

#include "conversion/MailboxBundle.h"

#include <string>
#include <vector>

namespace tessaly {

class Platform;

/// The bundle step after a window run converted the mailbox at `mailboxPath` into
/// `outputFolder`: one PDF of its output folder, in mailbox order, without stamps. Returns what
/// the run's report is to warn of: the bundle's own warnings, or why it could not be made. A
/// mailbox that left no output folder (an empty one) has nothing to bundle.
std::vector<std::string> bundleConvertedMailbox(const std::string &outputFolder, const std::string &mailboxPath,
                                                const BundleAssemblerFactory &makeAssembler);

/// The bundle step of one window run into one output folder, for each mailbox the run
/// converts, with what the bundles warn of kept for the run's report.
class MailboxBundleStep
{
public:
    /// `mailboxes` are the run's rows; `platform` draws the window while a bundle is made.
    MailboxBundleStep(Platform &platform, BundleAssemblerFactory makeAssembler, std::string outputFolder,
                      std::vector<std::string> mailboxes);

    /// Bundles the mailbox of row `row`, once the run has converted it. Joining a large mailbox
    /// takes seconds: it is joined on a thread of its own while the window's events are
    /// processed here. A row the run does not hold is passed over.
    void bundleRow(int row);

    /// What the bundles made so far warn of, in the order they were made.
    const std::vector<std::string> &warnings() const { return m_warnings; }

private:
    Platform &m_platform;
    BundleAssemblerFactory m_makeAssembler;
    std::string m_outputFolder;
    std::vector<std::string> m_mailboxes;
    std::vector<std::string> m_warnings;
};

} // namespace tessaly
