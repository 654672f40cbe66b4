// The files a package carries beside the programs: the man pages cover the command line, and
// every file that names a version names the project's.
#include "cli/BundleCommand.h"
#include "cli/CliOptions.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

using namespace tessaly;

namespace {

std::string readSourceFile(const std::string &relativePath)
{
    std::ifstream file(std::string(TESSALY_SOURCE_DIR) + "/" + relativePath, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

/// The options --help names: every word that starts with one or two dashes after a blank, a
/// bracket or a comma, as in "  -o, --output DIR" and "[--format pdf|eml]".
std::set<std::string> optionsIn(const std::string &help)
{
    static const std::regex option(R"((?:^|[\s\[,])(--?[a-z](?:[a-z-]*[a-z])?))");
    std::set<std::string> options;
    for (auto it = std::sregex_iterator(help.begin(), help.end(), option); it != std::sregex_iterator(); ++it)
        options.insert((*it)[1].str());
    return options;
}

/// The man page as man shows it, as far as options go: "\-" is a dash, and font changes are left out.
std::string manPageText(std::string page)
{
    page = std::regex_replace(page, std::regex(R"(\\f[BIRP])"), "");
    return std::regex_replace(page, std::regex(R"(\\-)"), "-");
}

/// Whether `option` stands in `text` as a word of its own, not as the start of a longer option.
bool namesOption(const std::string &text, const std::string &option)
{
    for (std::size_t at = text.find(option); at != std::string::npos; at = text.find(option, at + 1)) {
        const std::size_t end = at + option.size();
        const bool endsThere =
            end == text.size() || !(std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '-');
        const bool startsThere = at == 0 || text[at - 1] != '-';
        if (startsThere && endsThere)
            return true;
    }
    return false;
}

} // namespace

TEST(PackageFiles, CliManPageNamesEveryOptionOfHelp)
{
    std::set<std::string> options = optionsIn(usageText());
    options.merge(optionsIn(bundleUsageText()));
    ASSERT_TRUE(options.count("--output") && options.count("-o") && options.count("--version"));
    const std::string page = manPageText(readSourceFile("docs/man/tessaly-cli.1"));
    ASSERT_FALSE(page.empty());
    for (const std::string &option : options)
        EXPECT_TRUE(namesOption(page, option)) << "docs/man/tessaly-cli.1 does not name " << option;
}

TEST(PackageFiles, EveryFileThatNamesAVersionNamesTheProjects)
{
    const std::string version = TESSALY_VERSION;
    struct Case
    {
        const char *file;
        std::string expected;
    };
    const Case cases[] = {
        {"docs/man/tessaly.1", "\"Tessaly " + version + "\""},
        {"docs/man/tessaly-cli.1", "\"Tessaly " + version + "\""},
        {"docs/man/tessaly-worker.1", "\"Tessaly " + version + "\""},
        {"docs/manual.html", ">Tessaly " + version + "<"},
        {"packaging/changelog", "tessaly (" + version + ")"},
    };
    for (const Case &c : cases)
        EXPECT_NE(readSourceFile(c.file).find(c.expected), std::string::npos) << c.file << " lacks " << c.expected;

    // The newest release comes first.
    const std::string metainfo = readSourceFile("packaging/org.tessaly.Tessaly.metainfo.xml");
    std::smatch release;
    ASSERT_TRUE(std::regex_search(metainfo, release, std::regex(R"(<release version="([^"]*)\")")));
    EXPECT_EQ(release[1].str(), version);
}
