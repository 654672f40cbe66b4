// tessaly-cli bundle's command line: --bates and its width, the other options, usage errors.
#include "cli/BundleCommand.h"

#include <gtest/gtest.h>

using namespace tessaly;

namespace {

Result<BundleCommandOptions> parse(std::initializer_list<std::string_view> arguments)
{
    return parseBundleCommandLine(std::vector<std::string_view>(arguments));
}

} // namespace

TEST(BundleCommand, BatesTakesTheTrailingDigitsAsTheNumberAndItsWidth)
{
    struct Case
    {
        std::string_view value;
        std::string prefix;
        std::uint64_t first;
        int digits;
    };
    const Case cases[] = {
        {"ABC-000001", "ABC-", 1, 6},
        {"ABC-000999", "ABC-", 999, 6},
        {"CASE12-0042", "CASE12-", 42, 4},
        {"000000001", "", 1, 9},
        {"X 7", "X ", 7, 1},
        {"ABC-999999999999999999", "ABC-", 999999999999999999ull, 18},
    };
    for (const Case &c : cases) {
        Result<BundleCommandOptions> options = parse({"--bates", c.value, "/out/box.mbox"});
        ASSERT_TRUE(options) << c.value << ": " << options.error().message;
        ASSERT_TRUE(options.value().bundle.bates.has_value()) << c.value;
        const BatesNumbering &bates = *options.value().bundle.bates;
        EXPECT_EQ(bates.prefix, c.prefix) << c.value;
        EXPECT_EQ(bates.first, c.first) << c.value;
        EXPECT_EQ(bates.digits, c.digits) << c.value;
    }
    // Without a trailing number there is nothing to count on; 19 digits would not fit.
    for (std::string_view bad : {"ABC", "ABC-", "", "12A", "ABC-0000000000000000001"}) {
        Result<BundleCommandOptions> options = parse({std::string("--bates=") + std::string(bad), "/out/box.mbox"});
        ASSERT_FALSE(options) << bad;
        EXPECT_EQ(options.error().message, "--bates needs a prefix and a first number such as ABC-000001, not '" +
                                               std::string(bad) +
                                               "'\ntry 'tessaly-cli bundle --help' for more information");
    }
}

TEST(BundleCommand, OptionsAndFoldersAreTakenAndUsageErrorsSayWhatWasWrong)
{
    Result<BundleCommandOptions> options =
        parse({"--page-numbers", "--order=date", "--bundle-size", "512M", "/out/a.mbox", "--", "-odd"});
    ASSERT_TRUE(options) << options.error().message;
    EXPECT_TRUE(options.value().bundle.pageNumbers);
    EXPECT_EQ(options.value().bundle.order, BundleOrder::Date);
    EXPECT_EQ(options.value().bundle.sizeLimit, 512ull << 20);
    EXPECT_FALSE(options.value().bundle.bates.has_value());
    EXPECT_EQ(options.value().folders, (std::vector<std::string>{"/out/a.mbox", "-odd"}));

    Result<BundleCommandOptions> defaults = parse({"/out/a.mbox"});
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults.value().bundle.order, BundleOrder::Mailbox);
    EXPECT_EQ(defaults.value().bundle.sizeLimit, 2ull << 30);
    EXPECT_EQ(defaults.value().bundle.messageLimit, 10000);

    const std::pair<std::vector<std::string_view>, std::string> cases[] = {
        {{}, "no mailbox output folder to bundle"},
        {{"--order", "size", "x"}, "unknown --order value 'size' (use mailbox or date)"},
        {{"--bundle-size", "lots", "x"}, "--bundle-size needs a size such as 512M or 2G, not 'lots'"},
        {{"--output", "/out", "x"}, "unknown option '--output'"},
        {{"x", "--bates"}, "option '--bates' needs a value"},
    };
    for (const auto &[arguments, message] : cases) {
        Result<BundleCommandOptions> wrong = parseBundleCommandLine(arguments);
        ASSERT_FALSE(wrong) << message;
        EXPECT_EQ(wrong.error().message, message + "\ntry 'tessaly-cli bundle --help' for more information");
    }
    EXPECT_TRUE(isBundleCommand({"bundle", "x"}));
    EXPECT_FALSE(isBundleCommand({"./bundle", "-o", "/out"}));
}
