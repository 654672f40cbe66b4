// tessaly-cli: converts mailboxes without a window.
#include "cli/BundleCommand.h"
#include "cli/CliOptions.h"
#include "cli/CommandLineRun.h"
#include "cli/RunSummary.h"
#include "conversion/EmlCopyConverter.h"
#include "mailconverter/bundle/QpdfBundleAssembler.h"
#include "mailconverter/mime/GMimeMessageReader.h"
#include "support/ChildProcess.h"
#include "support/ProcessEnvironment.h"
#include "workers/IsolatedMailConverter.h"

#include <chrono>
#include <csignal>
#include <iostream>
#include <memory>

using namespace tessaly;

namespace {

constexpr int kExitAllConverted = 0;
constexpr int kExitSomethingFailed = 1;
constexpr int kExitUsage = 2;
/// A run stopped by a signal exits as a shell reports a process the signal ended.
constexpr int kExitSignalBase = 128;

volatile std::sig_atomic_t g_stopSignal = 0;

/// The first SIGINT or SIGTERM stops the run at its next check; a second one ends the process.
extern "C" void stopOnSignal(int signalNumber)
{
    g_stopSignal = signalNumber;
    std::signal(signalNumber, SIG_DFL);
}

/// tessaly-cli bundle ...: `arguments` are those after "bundle".
int bundleMain(const std::vector<std::string_view> &arguments)
{
    Result<BundleCommandOptions> parsed = parseBundleCommandLine(arguments);
    if (!parsed) {
        std::cerr << "error: " << parsed.error().message << '\n';
        return kExitUsage;
    }
    if (parsed.value().showHelp) {
        std::cout << bundleUsageText();
        return kExitAllConverted;
    }
    QpdfBundleAssembler assembler;
    return runBundleCommand(parsed.value(), assembler, std::cout, std::cerr);
}

} // namespace

int main(int argc, char *argv[])
{
    std::vector<std::string_view> arguments(argv + 1, argv + argc);
    if (isBundleCommand(arguments))
        return bundleMain(std::vector<std::string_view>(arguments.begin() + 1, arguments.end()));
    Result<CliOptions> parsed = parseCommandLine(arguments);
    if (!parsed) {
        std::cerr << "error: " << parsed.error().message << '\n';
        return kExitUsage;
    }
    const CliOptions &options = parsed.value();
    if (options.showHelp) {
        std::cout << usageText();
        return kExitAllConverted;
    }
    if (options.showVersion) {
        std::cout << versionText();
        return kExitAllConverted;
    }

    MailboxSelection selection = selectMailboxes(options.inputs);
    for (const std::string &warning : selection.warnings)
        std::cerr << "warning: " << warning << '\n';

    // PDFs are rendered in worker processes, which inherit the environment set here.
    ConcurrentMailConverterFactory makeConverter;
    if (options.format == OutputFormat::Pdf) {
        makeConverter = isolatedMailConverterFactory(
            workerCommand(runningProgramFolder(), WorkerSettings{options.embedSource, options.messagePages}),
            options.limits, options.jobs > 0 ? options.jobs : defaultWorkerCount());
    } else {
        makeConverter = oneAtATime([]() -> Result<std::unique_ptr<MailConverter>> {
            return std::unique_ptr<MailConverter>(std::make_unique<EmlCopyConverter>());
        });
    }

    std::signal(SIGINT, stopOnSignal);
    std::signal(SIGTERM, stopOnSignal);
    const auto started = std::chrono::steady_clock::now();
    RunReport report =
        runFromCommandLine(options, selection.mailboxes, std::move(makeConverter), gmimeMessageReaderFactory(),
                           std::cerr, isTerminal(stderr), [] { return g_stopSignal != 0; });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::cout << formatRunSummary(report, seconds);
    std::cerr << formatFailureCounts(report) << formatRunProblems(report);
    if (selection.mailboxes.empty()) {
        std::cerr << "error: no mailbox to convert\n";
        return kExitSomethingFailed;
    }
    if (report.stoppedByUser() && g_stopSignal != 0)
        return kExitSignalBase + static_cast<int>(g_stopSignal);
    const bool anythingFailed = !report.failedMessages.empty() || !report.failedMailboxes.empty();
    return anythingFailed ? kExitSomethingFailed : kExitAllConverted;
}
