// The eight ways of naming a message's PDF.
#pragma once

namespace tessaly {

/// The eight ways of naming a PDF, in the order they are tested.
enum class NamingOption {
    OptOriginal,  ///< subject
    OptSD,        ///< subject + date (DD-MM-YYYY)
    OptFSD,       ///< from + subject + date (DD-MM-YYYY)
    OptFSD_YMD,   ///< from + subject + date (YYYY-MM-DD)
    OptDFS,       ///< date (DD-MM-YYYY) + from + subject
    OptDFS_YMD,   ///< date (YYYY-MM-DD) + subject + from
    OptDFS_YMD2,  ///< date (YYYY-MM-DD) + from + subject
    OptDFS_MYD,   ///< date (MM-DD-YYYY) + subject + from
};

} // namespace tessaly
