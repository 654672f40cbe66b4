// A stand-in for tessaly-worker that misbehaves as each message file asks, for the tests of
// the supervisor: "hang", "allocate", "allocate in a child", "crash", "fail"; anything else
// is "converted" by copying the message file to the destination.
#include "ChildProcess.h"
#include "WorkerProtocol.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include <unistd.h>

using namespace tessaly;

namespace {

[[noreturn]] void allocateWithoutEnd()
{
    std::vector<std::unique_ptr<char[]>> blocks;
    for (;;) {
        constexpr std::size_t kBlock = 16 * 1024 * 1024;
        blocks.emplace_back(new char[kBlock]);
        std::memset(blocks.back().get(), 1, kBlock);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

[[noreturn]] void hang()
{
    for (;;)
        std::this_thread::sleep_for(std::chrono::hours(1));
}

} // namespace

int main()
{
    std::FILE *answers = reserveStandardOutput();
    for (;;) {
        Result<std::optional<std::string>> frame = readFrame(stdin);
        if (!frame || !frame.value())
            return 0;
        const WorkerRequest request = decodeRequest(*frame.value()).value();
        std::stringstream content;
        content << std::ifstream(request.source, std::ios::binary).rdbuf();
        const std::string what = content.str();

        if (what == "hang")
            hang();
        if (what == "allocate")
            allocateWithoutEnd();
        if (what == "allocate in a child") {
            if (::fork() == 0)
                allocateWithoutEnd();
            hang();
        }
        if (what == "crash")
            std::abort();

        Result<ConvertedMessage> answer = Error{"cannot render: " + what};
        if (what != "fail") {
            std::ofstream(request.destination, std::ios::binary) << what;
            answer = ConvertedMessage{request.destination, {"options " + request.options}, false};
        }
        const std::string bytes = encodeAnswer(answer);
        std::fwrite(bytes.data(), 1, bytes.size(), answers);
        std::fflush(answers);
    }
}
