// A stand-in for tessaly-worker that misbehaves as each message (its body, where it has
// headers) asks, for the tests of the supervisor: "hang", "allocate", "allocate in a child",
// "crash", "fail" (or "fail <kind token>"), "claim a huge answer", "place the PDF past the
// end" of its output file, "write a file past the limit" into it; anything else is "rendered"
// as a PDF holding the message's text, a warning with the options and the user the worker runs
// as, and, for "attach", a file "a.txt" to save beside it.
// "escape" asks to save files under names that reach out of the attachments folder, and "save
// too many files" under 10,000 names. Two look around the worker's namespaces: "interfaces"
// renders the names of the network interfaces it sees, "write <path>" whether it could make
// the file <path>. "lose the renderer" answers as a worker whose HTML renderer died. Any of
// these followed by " once" or " twice" misbehaves on that many tries of its message only.
#include "support/ChildProcess.h"
#include "workers/WorkerIdentity.h"
#include "workers/WorkerProtocol.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string_view>
#include <thread>
#include <utility>
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

/// The network interfaces this process sees, by name, one space between.
std::string interfaceNames()
{
    std::ifstream devices("/proc/net/dev");
    std::string names;
    std::string line;
    for (int header = 0; header < 2 && std::getline(devices, line); ++header) {
    }
    while (std::getline(devices, line)) {
        std::istringstream fields(line.substr(0, line.find(':')));
        std::string name;
        fields >> name;
        names += (names.empty() ? "" : " ") + name;
    }
    return names;
}

std::string tryToWrite(const std::string &path)
{
    std::ofstream file(path);
    return file && file << "x" && file.flush() ? "written" : "cannot write";
}

/// Which try of its message this is, from 1. The supervisor hands every try the same open
/// message file and reads it only at given offsets, so the file's own offset counts them.
int countTry(const OpenFile &message)
{
    const off_t tried = ::lseek(message.descriptor(), 0, SEEK_CUR);
    ::lseek(message.descriptor(), tried + 1, SEEK_SET);
    return static_cast<int>(tried) + 1;
}

/// What a message asks for: its body when it has a header block (as a run's message files
/// do), else its whole text.
std::string requestOf(const std::string &text)
{
    std::size_t end = text.find("\r\n\r\n");
    end = end == std::string::npos ? text.find("\n\n") : end;
    if (end == std::string::npos)
        return text;
    std::string body = text.substr(text.find_first_not_of("\r\n", end));
    while (!body.empty() && (body.back() == '\n' || body.back() == '\r'))
        body.pop_back();
    return body;
}

/// What `what` asks for on try `attempt`: "crash twice" is "crash" on the first two tries,
/// and on the later ones a message like any other.
std::string misbehaviourOnTry(const std::string &what, int attempt)
{
    for (const auto &[suffix, tries] : {std::pair<std::string_view, int>{" once", 1}, {" twice", 2}}) {
        if (what.ends_with(suffix))
            return attempt <= tries ? what.substr(0, what.size() - suffix.size()) : what;
    }
    return what;
}

} // namespace

int main()
{
    if (!dropAdministratorRights())
        return 3;
    std::FILE *answers = reserveStandardOutput();
    RequestReader requests(0);
    for (;;) {
        Result<std::optional<ReceivedRequest>> received = requests.next();
        if (!received || !received.value())
            return 0;
        const WorkerRequest &request = received.value()->request;
        OpenFile &output = received.value()->output;
        const std::string text = received.value()->message.readAll().value();
        const std::string what = misbehaviourOnTry(requestOf(text), countTry(received.value()->message));

        if (what == "hang")
            hang();
        if (what == "allocate")
            allocateWithoutEnd();
        if (what == "allocate in a child") {
            if (::fork() == 0)
                allocateWithoutEnd();
            hang();
        }
        // A fault, not abort(): a worker is process 1 of its namespace, which the signal abort()
        // sends itself does not end.
        if (what == "crash")
            __builtin_trap();

        if (what == "claim a huge answer") {
            // Only the length: the supervisor must refuse it before the bytes come.
            std::fwrite("\x7f\xff\xff\xff", 1, 4, answers);
            std::fflush(answers);
            hang();
        }

        if (what == "place the PDF past the end") {
            (void)output.write("%PDF");
            const std::string frame = encodeFrame({"rendered", "pdf-at", "2", "3"});
            std::fwrite(frame.data(), 1, frame.size(), answers);
            std::fflush(answers);
            continue;
        }
        if (what == "write a file past the limit") {
            const std::string block(1 << 20, 'x');
            for (;;)
                (void)output.write(block);
        }

        // "fail" fails as a rendering does, "fail <token>" as a failure of that kind.
        const bool fails = what == "fail" || what.starts_with("fail ");
        const std::optional<FailureKind> kind = failureKindOfToken(what.size() > 5 ? what.substr(5) : "");
        Result<RenderedMessage> answer = Error{"cannot render: " + what, kind.value_or(FailureKind::RenderFailed)};
        if (!fails) {
            RenderedMessage rendered;
            rendered.converted.warnings = {"options " + request.options, "user " + std::to_string(::geteuid())};
            rendered.pdf = what == "interfaces"         ? interfaceNames()
                           : what.starts_with("write ") ? tryToWrite(what.substr(6))
                                                        : text;
            if (what == "lose the renderer") {
                rendered.htmlRendererCrashed = true;
                rendered.converted.warnings.push_back("the HTML body was drawn by the plain-text renderer");
            }
            if (what == "attach")
                rendered.attachments.push_back(FileToSave{"a.txt", "attached"});
            if (what == "escape") {
                for (const char *name : {"../../escaped.txt", "/tmp/tessaly-escaped.txt", "..", "", "C:\\x\\y.txt",
                                         "sub/dir/z.txt", "CON", "A.TXT", "a.txt"})
                    rendered.attachments.push_back(FileToSave{name, "escape"});
                rendered.attachments.push_back(FileToSave{std::string("nul\0/../n.txt", 14), "escape"});
            }
            if (what == "save too many files") {
                for (int i = 0; i < 10000; ++i)
                    rendered.attachments.push_back(FileToSave{std::to_string(i) + ".txt", "x"});
            }
            answer = std::move(rendered);
        }
        const std::string bytes = encodeAnswer(answer, &output).value();
        std::fwrite(bytes.data(), 1, bytes.size(), answers);
        std::fflush(answers);
    }
}
