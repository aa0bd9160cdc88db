// The child process backend on Linux: output, exit codes, ending it, its group and the
// host's death, and what it inherits.
#ifndef _WIN32
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "platform/child_process.h"
#include "process_probe.h"

namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

struct Recorder {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> lines;
    std::vector<int> exits;

    platform::ProcessCallbacks Callbacks()
    {
        return {[this](const std::string& line) {
                    std::lock_guard lock(mutex);
                    lines.push_back(line);
                    changed.notify_all();
                },
                [this](int code) {
                    std::lock_guard lock(mutex);
                    exits.push_back(code);
                    changed.notify_all();
                }};
    }
    bool WaitLines(size_t count)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(5), [&] { return lines.size() >= count; });
    }
};

std::unique_ptr<platform::ChildProcess> Shell(const std::string& script, Recorder& recorder,
                                              platform::ProcessGroup* group = nullptr)
{
    int error = 0;
    auto child = platform::ChildProcess::Start("/bin/sh", {"-c", script}, group, recorder.Callbacks(), error);
    EXPECT_EQ(error, 0);
    return child;
}

TEST(ChildProcess, ReportsOutputLinesAndExitCodes)
{
    struct Case {
        std::string script;
        std::vector<std::string> lines;
        int exitCode;
    };
    const Case cases[] = {
        {"echo one; echo two >&2", {"one", "two"}, 0},
        {"printf 'a\\r\\nno break'; exit 3", {"a", "no break"}, 3},
        {"exit 0", {}, 0},
    };
    for (const auto& c : cases) {
        Recorder recorder;
        auto child = Shell(c.script, recorder);
        ASSERT_TRUE(child);
        ASSERT_TRUE(child->Wait(5000)) << c.script;
        EXPECT_FALSE(child->IsRunning());
        EXPECT_EQ(recorder.lines, c.lines) << c.script;
        EXPECT_THAT(recorder.exits, ElementsAre(c.exitCode)) << c.script;
        EXPECT_FALSE(child->Terminate()) << "an ended child cannot be ended again";
    }
}

TEST(ChildProcess, MissingProgramFailsWithItsErrno)
{
    Recorder recorder;
    int error = 0;
    auto child = platform::ChildProcess::Start("/nonexistent/frpc.exe", {}, nullptr, recorder.Callbacks(), error);
    EXPECT_FALSE(child);
    EXPECT_EQ(error, ENOENT);
}

TEST(ChildProcess, TerminateEndsTheChildAndWhatItStartedWithoutAnExitReport)
{
    Recorder recorder;
    auto child = Shell("sleep 30 & echo $!; wait", recorder);
    ASSERT_TRUE(child);
    ASSERT_TRUE(recorder.WaitLines(1));
    auto grandchild = static_cast<std::uint32_t>(std::stoul(recorder.lines[0]));
    EXPECT_TRUE(child->IsRunning());
    EXPECT_GT(child->ProcessId(), 0u);
    EXPECT_TRUE(child->Terminate());
    EXPECT_TRUE(child->Wait(5000));
    EXPECT_FALSE(child->IsRunning());
    EXPECT_TRUE(kestrel::testing::WaitProcessGone(grandchild));
    EXPECT_TRUE(recorder.exits.empty());
}

TEST(ChildProcess, DestroyingTheGroupOrTheObjectEndsTheChild)
{
    for (bool dropGroup : {true, false}) {
        Recorder recorder;
        int error = 0;
        auto group = platform::ProcessGroup::Create(error);
        ASSERT_TRUE(group);
        auto child = Shell("echo up; exec sleep 30", recorder, group.get());
        ASSERT_TRUE(child);
        ASSERT_TRUE(recorder.WaitLines(1));
        auto pid = child->ProcessId();
        if (dropGroup) {
            group.reset();
            EXPECT_TRUE(child->Wait(5000));
        } else {
            child.reset();
        }
        EXPECT_TRUE(kestrel::testing::WaitProcessGone(pid)) << "group dropped: " << dropGroup;
    }
}

TEST(ChildProcess, InheritsOnlyItsStandardStreams)
{
    // Without close-on-exec, as a careless host might leave one; above the shell's own.
    int opened = open("/dev/null", O_RDONLY);
    ASSERT_GE(opened, 0);
    int extra = fcntl(opened, F_DUPFD, 40);
    close(opened);
    ASSERT_GE(extra, 40);
    Recorder recorder;
    auto child = Shell("for fd in /proc/$$/fd/*; do echo ${fd##*/}; done", recorder);
    ASSERT_TRUE(child);
    ASSERT_TRUE(child->Wait(5000));
    close(extra);
    EXPECT_THAT(recorder.lines, Contains("1"));
    EXPECT_THAT(recorder.lines, ::testing::Not(Contains(std::to_string(extra))));
}

// The host process dies without any destructor running: its children die with it.
TEST(ChildProcess, EndsWhenTheHostProcessDies)
{
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    pid_t host = fork();
    ASSERT_GE(host, 0);
    if (host == 0) {
        close(report[0]);
        Recorder recorder;
        int error = 0;
        auto child = platform::ChildProcess::Start("/bin/sleep", {"30"}, nullptr, recorder.Callbacks(), error);
        std::uint32_t pid = child ? child->ProcessId() : 0;
        ssize_t written = write(report[1], &pid, sizeof pid);
        _exit(written == sizeof pid ? 0 : 1);
    }
    close(report[1]);
    std::uint32_t pid = 0;
    ASSERT_EQ(read(report[0], &pid, sizeof pid), static_cast<ssize_t>(sizeof pid));
    close(report[0]);
    int status = 0;
    waitpid(host, &status, 0);
    ASSERT_GT(pid, 0u);
    EXPECT_TRUE(kestrel::testing::WaitProcessGone(pid));
}

TEST(CommandLine, QuotesTheProgramAndEveryArgumentThatNeedsIt)
{
    EXPECT_EQ(platform::CommandLine("C:\\data\\frpc.exe", {"-c", "C:\\Temp\\ReverseProxy\\frpc_config.toml"}),
              "\"C:\\data\\frpc.exe\" -c \"C:\\Temp\\ReverseProxy\\frpc_config.toml\"");
    EXPECT_EQ(platform::CommandLine("/bin/x", {"", "a b", "say \"hi\"", "dir\\"}),
              "\"/bin/x\" \"\" \"a b\" \"say \\\"hi\\\"\" \"dir\\\\\"");
}

} // namespace
#endif
