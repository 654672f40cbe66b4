#include "cli/CliOptions.h"

#include <gtest/gtest.h>

using namespace tessaly;

namespace {

Result<CliOptions> parse(std::initializer_list<std::string_view> arguments)
{
    return parseCommandLine(std::vector<std::string_view>(arguments));
}

} // namespace

TEST(CliOptions, Defaults)
{
    Result<CliOptions> options = parse({"--output", "/out", "a.mbox"});
    ASSERT_TRUE(options) << options.error().message;
    const CliOptions &defaults = options.value();
    EXPECT_EQ(defaults.outputFolder, "/out");
    EXPECT_EQ(defaults.naming, NamingOption::OptOriginal);
    EXPECT_EQ(defaults.attachments, AttachmentMode::ListOnly);
    EXPECT_EQ(defaults.format, OutputFormat::Pdf);
    EXPECT_EQ(defaults.inputs, std::vector<std::string>{"a.mbox"});
    EXPECT_EQ(timeoutReason(defaults.limits), "took longer than 60 s");
    EXPECT_EQ(memoryReason(defaults.limits), "needed more than 1.5 GB");
    EXPECT_FALSE(defaults.force);
    EXPECT_TRUE(defaults.keepFileTimes);
    EXPECT_FALSE(defaults.shard.has_value());
    EXPECT_EQ(defaults.splitOver, 1ull << 30);
}

TEST(CliOptions, EveryNamingNameIsTakenAndShownInTheHelp)
{
    for (const NamingName &name : kNamingNames) {
        const std::string cliName(name.cliName);
        Result<CliOptions> options = parse({"-o", "/out", "--naming", cliName, "x.mbox"});
        ASSERT_TRUE(options) << cliName;
        EXPECT_EQ(options.value().naming, name.option) << cliName;
        EXPECT_NE(usageText().find("  " + cliName + "  "), std::string::npos) << cliName;
    }
    EXPECT_NE(usageText().find("date-ymd-subject-from   date (YYYY-MM-DD) + subject + from\n"), std::string::npos);
}

TEST(CliOptions, AttachmentModesTakeBothSpellings)
{
    Result<CliOptions> embed = parse({"-o", "/out", "--attachments=embed", "x.mbox"});
    ASSERT_TRUE(embed);
    EXPECT_EQ(embed.value().attachments, AttachmentMode::Embed);

    Result<CliOptions> folder = parse({"-o", "/out", "--attachments", "folder", "x.mbox"});
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder.value().attachments, AttachmentMode::Folder);
}

TEST(CliOptions, UsageErrorsSayWhatWasWrong)
{
    const std::pair<std::vector<std::string_view>, const char *> cases[] = {
        {{"a.mbox"}, "no output folder"},
        {{"-o", "/out"}, "no mailbox"},
        {{"-o", "/out", "--naming", "sender", "a.mbox"}, "unknown --naming value 'sender'"},
        {{"-o", "/out", "--attachments", "all", "a.mbox"}, "unknown --attachments value 'all'"},
        {{"-o", "/out", "--format", "html", "a.mbox"}, "unknown --format value 'html'"},
        {{"-o", "/out", "--verbose", "a.mbox"}, "unknown option '--verbose'"},
        {{"a.mbox", "--output"}, "'--output' needs a value"},
    };
    for (const auto &[arguments, expected] : cases) {
        Result<CliOptions> options = parseCommandLine(arguments);
        ASSERT_FALSE(options) << expected;
        EXPECT_NE(options.error().message.find(expected), std::string::npos) << options.error().message;
    }
}

TEST(CliOptions, DoubleDashLetsInputsStartWithADash)
{
    Result<CliOptions> options = parse({"-o", "/out", "--", "--odd.mbox", "b.mbox"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options.value().inputs, (std::vector<std::string>{"--odd.mbox", "b.mbox"}));
}

TEST(CliOptions, HelpNeedsNothingElse)
{
    Result<CliOptions> options = parse({"--help"});
    ASSERT_TRUE(options);
    EXPECT_TRUE(options.value().showHelp);
    EXPECT_NE(usageText().find("--attachments"), std::string::npos);
}

TEST(CliOptions, VersionNeedsNothingElseAndNamesTheProjectsVersion)
{
    Result<CliOptions> options = parse({"--version"});
    ASSERT_TRUE(options);
    EXPECT_TRUE(options.value().showVersion);
    EXPECT_EQ(versionText(), std::string("tessaly-cli ") + TESSALY_VERSION + "\n");
}

TEST(CliOptions, MessageLimitsTakeSecondsSizesInPowersOf1024AndPages)
{
    Result<CliOptions> options =
        parse({"-o", "/out", "--message-timeout", "2.5", "--message-memory=800M", "--message-pages=300", "x.mbox"});
    ASSERT_TRUE(options) << options.error().message;
    EXPECT_EQ(options.value().limits.messageTimeout, std::chrono::milliseconds(2500));
    EXPECT_EQ(options.value().limits.memoryBytes, 800u * 1024 * 1024);
    EXPECT_EQ(memoryReason(options.value().limits), "needed more than 800 MB");
    EXPECT_EQ(options.value().messagePages, 300);
    EXPECT_EQ(parse({"-o", "/o", "x"}).value().messagePages, 0); // the converter's own
    EXPECT_EQ(parse({"-o", "/o", "--message-memory", "2g", "x"}).value().limits.memoryBytes, 2ull << 30);
    EXPECT_EQ(parse({"-o", "/o", "--message-memory", "4096", "x"}).value().limits.memoryBytes, 4096u);

    for (const char *bad : {"0", "-1", "1.5X", "M", "", "1e3", "99999999999G"})
        EXPECT_FALSE(parse({"-o", "/o", "--message-memory", bad, "x"})) << bad;
    for (const char *bad : {"0", "-5", "ten", "100000", ""})
        EXPECT_FALSE(parse({"-o", "/o", "--message-timeout", bad, "x"})) << bad;
    for (const char *bad : {"0", "-3", "2,000", "1000001", ""})
        EXPECT_FALSE(parse({"-o", "/o", "--message-pages", bad, "x"})) << bad;
}

TEST(CliOptions, ResumeAndShardOptions)
{
    Result<CliOptions> set =
        parse({"-o", "/out", "--force", "--no-file-times", "--shard", "2/5", "--split-over=64M", "x.mbox"});
    ASSERT_TRUE(set) << set.error().message;
    EXPECT_TRUE(set.value().force);
    EXPECT_FALSE(set.value().keepFileTimes);
    EXPECT_EQ(set.value().shard->index, 2);
    EXPECT_EQ(set.value().shard->count, 5);
    EXPECT_EQ(set.value().splitOver, 64ull << 20);

    EXPECT_FALSE(parse({"-o", "/out", "--shard", "5/5", "x.mbox"}));
    EXPECT_FALSE(parse({"-o", "/out", "--split-over", "0", "x.mbox"}));
}
