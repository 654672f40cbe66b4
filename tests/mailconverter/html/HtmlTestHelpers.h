// Checking composed HTML for what must and must not be on the page.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace tessaly::test {

inline bool contains(const std::string &text, std::string_view part)
{
    return text.find(part) != std::string::npos;
}

inline void expectContainsAll(const std::string &page, std::initializer_list<std::string_view> parts)
{
    for (std::string_view part : parts)
        EXPECT_TRUE(contains(page, part)) << "missing: " << part;
}

inline void expectContainsNone(const std::string &page, std::initializer_list<std::string_view> parts)
{
    for (std::string_view part : parts)
        EXPECT_FALSE(contains(page, part)) << "still there: " << part;
}

} // namespace tessaly::test
