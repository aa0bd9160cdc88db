#include "frontend/draw_state.h"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <utility>

#include <imgui.h>
#include <imgui_internal.h>

#include "bakkesmod/plugin/pluginwindow.h"
#include "output.h"

namespace devhost {

void DrawState::setWindow(BakkesMod::Plugin::PluginWindow* newWindow, std::string name)
{
    std::lock_guard<std::mutex> lock(windowMutex);
    window = newWindow;
    menuName = std::move(name);
    open = false;
    pendingToggles = 0;
    reportedDrawError = false;
}

void DrawState::clearWindow()
{
    std::lock_guard<std::mutex> lock(windowMutex);
    window = nullptr;
    menuName.clear();
    open = false;
    pendingToggles = 0;
}

bool DrawState::requestToggle(const std::string& name)
{
    std::lock_guard<std::mutex> lock(windowMutex);
    if (!window || name != menuName) return false;
    ++pendingToggles;
    return true;
}

void DrawState::applyToggles()
{
    std::lock_guard<std::mutex> lock(windowMutex);
    for (; pendingToggles > 0; --pendingToggles) {
        if (!window) break;
        open = !open;
        if (open) window->MenuOpened();
        else window->MenuClosed();
        HostMessage("menu " + menuName + (open ? " opened" : " closed"));
    }
    pendingToggles = 0;
}

bool DrawState::drawWindow(ImGuiContext* context)
{
    std::lock_guard<std::mutex> lock(windowMutex);
    if (!window || !open) return false;
    try {
        timespec cpuStart{}, cpuEnd{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpuStart);
        const auto wallStart = std::chrono::steady_clock::now();
        window->UseUiContext(context);
        window->DrawMenu();
        const auto wallNs =
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - wallStart).count();
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpuEnd);
        recordDrawTime(wallNs, (cpuEnd.tv_sec - cpuStart.tv_sec) * 1000000000LL + (cpuEnd.tv_nsec - cpuStart.tv_nsec));
        return window->CapturesInput();
    } catch (const std::exception& error) {
        drawFailed(std::string("the plugin's window threw while drawing: ") + error.what());
    } catch (...) {
        drawFailed("the plugin's window threw while drawing");
    }
    return false;
}

void DrawState::recordDrawTime(std::int64_t wallNs, std::int64_t cpuNs)
{
    std::lock_guard<std::mutex> lock(timesMutex);
    times.longestWallMs = std::max(times.longestWallMs, static_cast<double>(wallNs) / 1e6);
    const double cpuMs = static_cast<double>(cpuNs) / 1e6;
    times.longestCpuMs = std::max(times.longestCpuMs, cpuMs);
    ++cpuSteps[std::min(kSteps - 1, static_cast<std::size_t>(std::max(0.0, cpuMs) / kStepMs))];
    ++times.frames;
}

DrawState::DrawTimes DrawState::takeDrawTimes()
{
    std::lock_guard<std::mutex> lock(timesMutex);
    // The smallest step that holds at least 99 in 100 frames, given by its upper end.
    const std::uint64_t within = times.frames - times.frames / 100;
    std::uint64_t counted = 0;
    for (std::size_t step = 0; step < kSteps && times.frames > 0; ++step) {
        counted += cpuSteps[step];
        if (counted >= within) {
            times.percentile99CpuMs = std::min(times.longestCpuMs, static_cast<double>(step + 1) * kStepMs);
            break;
        }
    }
    std::fill(cpuSteps.begin(), cpuSteps.end(), 0);
    return std::exchange(times, DrawTimes{});
}

void DrawState::drawFailed(const std::string& message)
{
    // Windows the plugin left open would trip ImGui's end-of-frame checks.
    ImGui::ErrorCheckEndFrameRecover(nullptr);
    if (!reportedDrawError) HostMessage(message + "; its menu is closed");
    reportedDrawError = true;
    open = false;
}

bool DrawState::menuOpen() const
{
    std::lock_guard<std::mutex> lock(windowMutex);
    return window && open;
}

bool DrawState::waitFrames(std::uint64_t count)
{
    std::unique_lock<std::mutex> lock(frameMutex);
    const std::uint64_t target = frames + count;
    frameAdvanced.wait(lock, [&] { return stopped || frames >= target; });
    return frames >= target;
}

std::string DrawState::screenshot(const std::string& path)
{
    std::future<std::string> result;
    {
        std::lock_guard<std::mutex> lock(frameMutex);
        if (stopped) return "the drawing pass has ended";
        screenshots.push_back(ScreenshotRequest{path, std::promise<std::string>()});
        result = screenshots.back().result.get_future();
    }
    return result.get();
}

std::deque<DrawState::ScreenshotRequest> DrawState::takeScreenshotRequests()
{
    std::lock_guard<std::mutex> lock(frameMutex);
    std::deque<ScreenshotRequest> taken;
    taken.swap(screenshots);
    return taken;
}

void DrawState::frameDone()
{
    std::lock_guard<std::mutex> lock(frameMutex);
    ++frames;
    frameAdvanced.notify_all();
}

bool DrawState::runUiSteps(UiStep step)
{
    std::future<bool> result;
    {
        std::lock_guard<std::mutex> lock(frameMutex);
        if (stopped) return false;
        queuedUiTasks.push_back(UiTask{std::move(step), std::promise<bool>()});
        result = queuedUiTasks.back().done.get_future();
    }
    return result.get();
}

void DrawState::beginFrameUiSteps()
{
    std::lock_guard<std::mutex> lock(frameMutex);
    for (auto& task : queuedUiTasks) activeUiTasks.push_back(std::move(task));
    queuedUiTasks.clear();
}

void DrawState::runFrameUiSteps()
{
    std::deque<UiTask> waiting;
    for (auto& task : activeUiTasks) {
        bool finished = false;
        try {
            finished = task.step();
        } catch (const std::exception& error) {
            HostMessage(std::string("ui: the step failed: ") + error.what());
            task.done.set_value(false);
            continue;
        }
        if (finished) task.done.set_value(true);
        else waiting.push_back(std::move(task));
    }
    activeUiTasks.swap(waiting);
}

void DrawState::stop()
{
    std::deque<ScreenshotRequest> left;
    std::deque<UiTask> leftUi;
    {
        std::lock_guard<std::mutex> lock(frameMutex);
        stopped = true;
        left.swap(screenshots);
        leftUi.swap(queuedUiTasks);
        frameAdvanced.notify_all();
    }
    for (auto& request : left) request.result.set_value("the drawing pass has ended");
    for (auto& task : leftUi) task.done.set_value(false);
    for (auto& task : activeUiTasks) task.done.set_value(false);
    activeUiTasks.clear();
}

} // namespace devhost
