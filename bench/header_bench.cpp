// Header decoding benchmark: parsing a message whose headers are built to be slow, at N and
// 2N, so that linear growth (the time doubles) is visible. Prints milliseconds per case.
//
// Usage: header_bench [N]   (default 150000)

#include "mailconverter/mime/MailMessage.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

using namespace tessaly;

namespace {

std::string repeated(const std::string &piece, int count, const std::string &separator = "")
{
    std::string out;
    out.reserve((piece.size() + separator.size()) * static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        out += (i ? separator : "") + piece;
    return out;
}

double millisecondsToParse(const std::string &message)
{
    const auto start = std::chrono::steady_clock::now();
    const Result<MailMessage> parsed = parseMailMessage(message);
    const auto end = std::chrono::steady_clock::now();
    if (!parsed)
        std::fprintf(stderr, "parse failed\n");
    return std::chrono::duration<double, std::milli>(end - start).count();
}

} // namespace

int main(int argc, char **argv)
{
    const int n = argc > 1 ? std::atoi(argv[1]) : 150000;
    const struct
    {
        const char *name;
        std::function<std::string(int)> message;
    } cases[] = {
        {"Subject of unclosed '=?a?Q?x'",
         [](int count) { return "From: a@example.com\nSubject: " + repeated("=?a?Q?x", count) + "\n\nbody\n"; }},
        {"Subject of encoded words",
         [](int count) {
             return "From: a@example.com\nSubject: " + repeated("=?utf-8?Q?w=C3=B6rd?=", count, " ") + "\n\nbody\n";
         }},
        {"To of encoded-word addresses",
         [](int count) {
             return "From: a@example.com\nTo: " + repeated("=?utf-8?B?SsO2cmc=?= <j@example.com>", count / 10, ",\n ") +
                    "\nSubject: s\n\nbody\n";
         }},
    };
    std::printf("%-32s %12s %12s\n", "case", "N ms", "2N ms");
    for (const auto &benchCase : cases) {
        const double once = millisecondsToParse(benchCase.message(n));
        const double twice = millisecondsToParse(benchCase.message(2 * n));
        std::printf("%-32s %12.1f %12.1f\n", benchCase.name, once, twice);
    }
    return 0;
}
