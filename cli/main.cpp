// tessaly-cli: converts mailboxes without a window.
#include "CliOptions.h"
#include "CommandLineRun.h"
#include "EmlCopyConverter.h"
#include "GMimeMessageReader.h"
#include "MessageScheme.h"
#include "PdfMailConverter.h"
#include "RunSummary.h"
#include "ProcessEnvironment.h"

#include <QGuiApplication>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>

using namespace tessaly;

namespace {

constexpr int kExitAllConverted = 0;
constexpr int kExitSomethingFailed = 1;
constexpr int kExitUsage = 2;

/// Qt needs a platform plugin even for off-screen rendering; without a display, use the one
/// that needs none.
void chooseOffscreenPlatformWithoutDisplay()
{
    if (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY"))
        return;
    setEnvironmentVariableIfUnset("QT_QPA_PLATFORM", "offscreen");
}

/// Chromium ends the whole process when it is asked to sandbox itself as root, so as root
/// the web engine must run without its sandbox or not at all.
void allowWebEngineAsAdministrator()
{
    if (!isRunningAsAdministrator() || std::getenv("QTWEBENGINE_DISABLE_SANDBOX"))
        return;
    std::cerr << "warning: running as root, so the HTML renderer runs without its sandbox\n";
    setEnvironmentVariableIfUnset("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

} // namespace

int main(int argc, char *argv[])
{
    std::vector<std::string_view> arguments(argv + 1, argv + argc);
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

    MailboxSelection selection = selectMailboxes(options.inputs);
    for (const std::string &warning : selection.warnings)
        std::cerr << "warning: " << warning << '\n';

    // The PDF renderer needs an application object; splitting to .eml files does not.
    std::unique_ptr<QGuiApplication> application;
    MailConverterFactory makeConverter;
    if (options.format == OutputFormat::Pdf) {
        chooseOffscreenPlatformWithoutDisplay();
        allowWebEngineAsAdministrator();
        prepareMailConverterApplication();
        application = std::make_unique<QGuiApplication>(argc, argv);
        makeConverter = pdfMailConverterFactory();
    } else {
        makeConverter = []() -> Result<std::unique_ptr<MailConverter>> {
            return std::unique_ptr<MailConverter>(std::make_unique<EmlCopyConverter>());
        };
    }

    const auto started = std::chrono::steady_clock::now();
    RunReport report = runFromCommandLine(options, selection.mailboxes, std::move(makeConverter),
                                          gmimeMessageReaderFactory(), std::cerr, isTerminal(stderr));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::cout << formatRunSummary(report, seconds);
    std::cerr << formatRunProblems(report);
    const bool anythingFailed = !report.failedMessages.empty() || !report.failedMailboxes.empty();
    return anythingFailed ? kExitSomethingFailed : kExitAllConverted;
}
