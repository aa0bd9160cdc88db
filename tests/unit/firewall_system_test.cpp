// The platform's firewall system. On Windows (under Wine here): launching, waiting, time-outs,
// exit codes, the apartment rules and the admin check; Wine's firewall COM stores nothing, so
// policy outcomes are the scripted fake's (firewall_manager_test). Elsewhere: what the plugin
// gets with no host firewall service installed, and the COM error object's wording.
#include <gtest/gtest.h>

#include <thread>

#include "platform/firewall_system.h"

#ifdef _WIN32
#include <windows.h>
#include <objbase.h>

#include <cwchar>
#else
#include "bakkesmod/host/firewall_service.h"
#endif

namespace {

using platform::WaitResult;

#ifdef _WIN32

constexpr const wchar_t* kSleepFlag = L"--kestrel-firewall-sleeping-child";

// Started by the time-out test as its own child: sleeps past the wait and ends.
const bool sleepingChild = [] {
    if (std::wcsstr(GetCommandLineW(), kSleepFlag)) {
        Sleep(5000);
        ExitProcess(0);
    }
    return false;
}();

std::wstring OwnPath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

TEST(FirewallSystemWindows, ExitCodesOfLaunchedProgramsArrive)
{
    auto system = platform::CreateFirewallSystem();
    for (const wchar_t* verb : {L"", L"runas"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(verb)));
        auto launch = system->Launch({verb, L"cmd.exe", L"/C exit 3", platform::kShowHidden});
        ASSERT_TRUE(launch.launched) << launch.error;
        ASSERT_NE(launch.process, 0u);
        EXPECT_EQ(system->Wait(launch.process, 10000), WaitResult::Finished);
        std::uint32_t code = 99;
        EXPECT_TRUE(system->ExitCode(launch.process, code));
        EXPECT_EQ(code, 3u);
        system->CloseProcess(launch.process);
    }
}

TEST(FirewallSystemWindows, AChildThatOutlivesTheLimitTimesOut)
{
    auto system = platform::CreateFirewallSystem();
    auto launch = system->Launch({L"", OwnPath(), kSleepFlag, platform::kShowHidden});
    ASSERT_TRUE(launch.launched) << launch.error;
    ASSERT_NE(launch.process, 0u);
    EXPECT_EQ(system->Wait(launch.process, 200), WaitResult::TimedOut);
    std::uint32_t code = 0;
    EXPECT_TRUE(system->ExitCode(launch.process, code));
    EXPECT_EQ(code, 259u); // STILL_ACTIVE
    TerminateProcess(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(launch.process)), 1);
    system->CloseProcess(launch.process);
}

// No test launches a missing program here: without SEE_MASK_FLAG_NO_UI the shell reports it
// with a dialog, and under Wine that (error 1400, no window) leaves a helper holding the
// test's output open for tens of seconds.

TEST(FirewallSystemWindows, ApartmentAnswersAsCoInitializeExDoes)
{
    std::thread([] {
        auto system = platform::CreateFirewallSystem();
        EXPECT_EQ(system->InitializeCom(), platform::kResultOk);
        EXPECT_EQ(system->InitializeCom(), platform::kResultFalse);
        system->UninitializeCom();
        system->UninitializeCom();
    }).join();
    std::thread([] {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        auto system = platform::CreateFirewallSystem();
        EXPECT_EQ(system->InitializeCom(), platform::kResultChangedMode);
        CoUninitialize();
    }).join();
}

TEST(FirewallSystemWindows, AdminCheckAndErrorTextsAnswer)
{
    auto system = platform::CreateFirewallSystem();
    EXPECT_EQ(system->IsAdmin(), platform::IsProcessAdmin());
    // Wine words its messages its own way: only the shape is checked.
    for (platform::ResultCode code : {platform::kResultClassNotRegistered, platform::kResultAccessDenied,
                                      static_cast<platform::ResultCode>(0x80040201u)}) {
        const std::wstring text = system->ErrorText(code);
        EXPECT_FALSE(text.empty());
        EXPECT_NE(text.back(), L'\n');
        EXPECT_NE(text.back(), L'\r');
    }
}

#else

TEST(FirewallSystemHost, WithoutAHostFirewallThereIsNothingToReach)
{
    bakkesmod::host::installFirewallService(nullptr);
    auto system = platform::CreateFirewallSystem();
    EXPECT_EQ(system->CreatePolicy(), platform::kResultClassNotRegistered);
    EXPECT_EQ(system->FindRule(L"x").rulesResult, platform::kResultClassNotRegistered);
    auto launch = system->Launch({L"runas", L"cmd.exe", L"/C exit 0", platform::kShowHidden});
    EXPECT_FALSE(launch.launched);
    EXPECT_EQ(launch.error, platform::kErrorFileNotFound);
    EXPECT_FALSE(platform::IsProcessAdmin());
    EXPECT_FALSE(system->IsAdmin());
}

TEST(FirewallSystemHost, EachThreadKeepsItsOwnApartmentCount)
{
    auto system = platform::CreateFirewallSystem();
    std::thread([&] {
        EXPECT_EQ(system->InitializeCom(), platform::kResultOk);
        EXPECT_EQ(system->InitializeCom(), platform::kResultFalse);
        system->UninitializeCom();
        system->UninitializeCom();
        EXPECT_EQ(system->InitializeCom(), platform::kResultOk);
        system->UninitializeCom();
    }).join();
    std::thread([&] {
        EXPECT_EQ(system->InitializeCom(), platform::kResultOk);
        system->UninitializeCom();
    }).join();
}

TEST(FirewallSystemHost, ErrorTextsAreWordedAsTheComErrorObjectWordsThem)
{
    auto system = platform::CreateFirewallSystem();
    struct Row {
        std::uint32_t code;
        const wchar_t* text;
    };
    const Row rows[] = {
        {0x80040154u, L"Class not registered"},
        {0x80070005u, L"Access is denied."},
        {0x800706D9u, L"There are no more endpoints available from the endpoint mapper."},
        {0x80040201u, L"IDispatch error #1"},
        {0x8004FFFFu, L"IDispatch error #65023"},
        {0x80001234u, L"Unknown error 0x80001234"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(system->ErrorText(static_cast<platform::ResultCode>(row.code)), row.text) << std::hex << row.code;
}

#endif

} // namespace
