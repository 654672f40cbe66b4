// Sizes as people write them on a command line ("800M", "1.5G") and as they read them ("1.5 GB").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

/// Parses a size in bytes, optionally with a K, M or G suffix (powers of 1024, either case)
/// and a decimal fraction before it ("1.5G"). nullopt for anything else, for zero, and for
/// sizes that do not fit.
std::optional<std::uint64_t> parseByteSize(std::string_view text);

/// A size as a user reads it, in the largest unit it reaches, with at most one decimal:
/// "1 byte", "512 bytes", "9.8 KB", "800 MB", "1.5 GB", "2 GB" (units are powers of 1024).
std::string formatByteSize(std::uint64_t bytes);

/// Seconds with at most one decimal: "60", "0.5".
std::string formatSeconds(double seconds);

} // namespace tessaly
