// ChildProcess on Windows, where separate processes are not supported yet: each call fails or
// reports nothing.
#include "support/ChildProcess.h"

#include "support/PathHelpers.h"

#include <windows.h>

#include <filesystem>

namespace tessaly {

std::string programFileName(std::string_view baseName)
{
    return std::string(baseName) + ".exe";
}

std::string runningProgramFolder()
{
    wchar_t path[32768];
    const DWORD length = GetModuleFileNameW(nullptr, path, 32768);
    if (length == 0 || length >= 32768)
        return {};
    return fromFsPath(std::filesystem::path(std::wstring(path, length)).parent_path());
}

void endWithParent() {}
bool childProcessesSupported()
{
    return false;
}

Result<ChildProcess> ChildProcess::start(const std::string &, const std::vector<std::string> &, ChildIsolation)
{
    return Error{"separate converter processes are not supported on this system", FailureKind::Unsupported};
}
ChildProcess::ChildProcess(ChildProcess &&other) noexcept = default;
ChildProcess &ChildProcess::operator=(ChildProcess &&other) noexcept = default;
ChildProcess::~ChildProcess() = default;
void ChildProcess::closePipes() {}
Result<void> ChildProcess::write(std::string_view, const std::vector<int> &)
{
    return Error{"not supported", FailureKind::Unsupported};
}
std::size_t ChildProcess::inputBufferBytes() const
{
    return 0;
}
ChildProcess::ReadStatus ChildProcess::read(std::string &, std::chrono::milliseconds)
{
    return ReadStatus::Closed;
}
void ChildProcess::waitForAnyOutput(const std::vector<const ChildProcess *> &, std::chrono::milliseconds) {}
std::uint64_t ChildProcess::treeResidentBytes() const
{
    return 0;
}
void ChildProcess::killTree() {}
std::optional<std::string> ChildProcess::howItEnded()
{
    return std::string("was never started");
}
ProcessTreeSample sampleProcessTree(long)
{
    return {};
}
std::FILE *reserveStandardOutput()
{
    return nullptr;
}

} // namespace tessaly
