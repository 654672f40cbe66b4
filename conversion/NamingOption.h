// The eight ways of naming a message's PDF, and what each front end calls them.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace tessaly {

/// The eight ways of naming a PDF, in the order they are tested.
enum class NamingOption
{
    OptOriginal,
    OptSD,
    OptFSD,
    OptFSD_YMD,
    OptDFS,
    OptDFS_YMD,
    OptDFS_YMD2,
    OptDFS_MYD,
};

/// A naming option as the command line and the window name it.
struct NamingName
{
    NamingOption option;
    /// The value of --naming.
    std::string_view cliName;
    /// The option button's caption; --help shows it too.
    std::string_view caption;
};

/// Every naming option once, in the order the window's columns and --help list them.
inline constexpr std::array<NamingName, 8> kNamingNames{{
    {NamingOption::OptOriginal, "subject", "subject"},
    {NamingOption::OptSD, "subject-date", "subject + date (DD-MM-YYYY)"},
    {NamingOption::OptFSD, "from-subject-date", "from + subject + date (DD-MM-YYYY)"},
    {NamingOption::OptFSD_YMD, "from-subject-date-ymd", "from + subject + date (YYYY-MM-DD)"},
    {NamingOption::OptDFS, "date-from-subject", "date (DD-MM-YYYY) + from + subject"},
    // The design's caption ends in a blank.
    {NamingOption::OptDFS_YMD, "date-ymd-subject-from", "date (YYYY-MM-DD) + subject + from "},
    {NamingOption::OptDFS_YMD2, "date-ymd-from-subject", "date (YYYY-MM-DD) + from + subject"},
    {NamingOption::OptDFS_MYD, "date-mdy-subject-from", "date (MM-DD-YYYY) + subject + from"},
}};

/// The names of `option`.
constexpr const NamingName &namingName(NamingOption option)
{
    for (const NamingName &name : kNamingNames) {
        if (name.option == option)
            return name;
    }
    return kNamingNames.front();
}

/// The option --naming calls `cliName`; nullopt for any other text.
constexpr std::optional<NamingOption> namingOptionForCliName(std::string_view cliName)
{
    for (const NamingName &name : kNamingNames) {
        if (name.cliName == cliName)
            return name.option;
    }
    return std::nullopt;
}

} // namespace tessaly
