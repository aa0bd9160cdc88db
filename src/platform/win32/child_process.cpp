// The child starts suspended and runs only once it is in the kill-on-close job, so it cannot
// start anything outside the job first. It inherits exactly its output pipe and a NUL input.
#include "platform/child_process.h"

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace platform {

struct ProcessGroup::Impl {
    HANDLE job = nullptr;
};

std::unique_ptr<ProcessGroup> ProcessGroup::Create(int& error)
{
    error = 0;
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job) {
        error = static_cast<int>(GetLastError());
        return nullptr;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        error = static_cast<int>(GetLastError());
        CloseHandle(job);
        return nullptr;
    }
    std::unique_ptr<ProcessGroup> group(new ProcessGroup());
    group->impl = std::make_shared<Impl>();
    group->impl->job = job;
    return group;
}

ProcessGroup::~ProcessGroup()
{
    // The last handle of the job: every process in it ends.
    if (impl && impl->job) CloseHandle(impl->job);
}

struct ChildProcess::Impl {
    HANDLE process = nullptr;
    DWORD pid = 0;
    HANDLE output = nullptr; // read end
    ProcessCallbacks callbacks;
    std::thread reader;

    mutable std::mutex mutex;
    std::condition_variable changed;
    bool terminated = false;
    bool finished = false;

    void Read();
};

void ChildProcess::Impl::Read()
{
    std::string pending;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(output, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        pending.append(buffer, got);
        size_t start = 0;
        for (size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
            std::string line = pending.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (callbacks.onLine) callbacks.onLine(line);
        }
        pending.erase(0, start);
    }
    if (!pending.empty() && callbacks.onLine) callbacks.onLine(pending);
    WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    bool endedByTerminate;
    {
        std::lock_guard lock(mutex);
        endedByTerminate = terminated;
    }
    if (!endedByTerminate && callbacks.onExit) callbacks.onExit(static_cast<int>(code));
    std::lock_guard lock(mutex);
    finished = true;
    changed.notify_all();
}

namespace {

std::wstring Wide(const std::string& text)
{
    if (text.empty()) return {};
    int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

} // namespace

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::filesystem::path& program, const std::vector<std::string>& args,
                                                  ProcessGroup* group, ProcessCallbacks callbacks, int& error)
{
    error = 0;
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
        error = static_cast<int>(GetLastError());
        return nullptr;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0, nullptr);

    // Only these handles reach the child, even while other threads create inheritable ones.
    HANDLE inherited[2] = {writeEnd, input};
    DWORD inheritedCount = input != INVALID_HANDLE_VALUE ? 2 : 1;
    SIZE_T attributeSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &attributeSize);
    std::vector<char> attributeBuffer(attributeSize);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeBuffer.data());
    bool listReady = InitializeProcThreadAttributeList(attributes, 1, 0, &attributeSize) &&
                     UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                               inheritedCount * sizeof(HANDLE), nullptr, nullptr);
    auto closeAll = [&] {
        if (listReady) DeleteProcThreadAttributeList(attributes);
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        if (input != INVALID_HANDLE_VALUE) CloseHandle(input);
    };
    if (!listReady) {
        error = static_cast<int>(GetLastError());
        closeAll();
        return nullptr;
    }

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.StartupInfo.hStdInput = input != INVALID_HANDLE_VALUE ? input : nullptr;
    startup.StartupInfo.hStdOutput = writeEnd;
    startup.StartupInfo.hStdError = writeEnd;
    startup.lpAttributeList = attributes;

    std::wstring commandLine = Wide(CommandLine(program, args));
    PROCESS_INFORMATION info{};
    DWORD flags = CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT;
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                        &startup.StartupInfo, &info)) {
        error = static_cast<int>(GetLastError());
        closeAll();
        return nullptr;
    }
    DeleteProcThreadAttributeList(attributes);
    listReady = false;
    CloseHandle(writeEnd);
    if (input != INVALID_HANDLE_VALUE) CloseHandle(input);
    if (group && group->impl && group->impl->job) AssignProcessToJobObject(group->impl->job, info.hProcess);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);

    auto* impl = new Impl();
    impl->process = info.hProcess;
    impl->pid = info.dwProcessId;
    impl->output = readEnd;
    impl->callbacks = std::move(callbacks);
    impl->reader = std::thread([impl] { impl->Read(); });
    return std::unique_ptr<ChildProcess>(new ChildProcess(impl));
}

ChildProcess::~ChildProcess()
{
    Terminate();
    if (impl->reader.joinable()) impl->reader.join();
    CloseHandle(impl->output);
    CloseHandle(impl->process);
    delete impl;
}

bool ChildProcess::IsRunning() const
{
    DWORD code = 0;
    return GetExitCodeProcess(impl->process, &code) && code == STILL_ACTIVE;
}

std::uint32_t ChildProcess::ProcessId() const { return impl->pid; }

bool ChildProcess::Terminate()
{
    std::lock_guard lock(impl->mutex);
    if (!IsRunning()) return false;
    impl->terminated = true;
    return TerminateProcess(impl->process, 0) != 0;
}

bool ChildProcess::Wait(int timeoutMs)
{
    std::unique_lock lock(impl->mutex);
    return impl->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return impl->finished; });
}

} // namespace platform
