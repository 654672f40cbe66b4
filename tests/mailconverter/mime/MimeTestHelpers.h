// Building test messages: mail travels with CR LF line ends, tests are easier to write with LF.
#pragma once

#include <string>
#include <string_view>

namespace tessaly::test {

inline std::string crlf(std::string_view text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

} // namespace tessaly::test
