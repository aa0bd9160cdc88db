#pragma once
// What the drawing pass (main thread) shares with the console thread: the loaded
// plugin's window and whether its menu is open, the frame count, screenshot requests and
// UI steps. Menu open/close calls, every call into the window and every ImGui call
// happen on the drawing pass.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <vector>

struct ImGuiContext;

namespace BakkesMod::Plugin {
class PluginWindow;
}

namespace devhost {

class DrawState {
public:
    // Console thread. clearWindow waits until no frame is inside the window's code.
    void setWindow(BakkesMod::Plugin::PluginWindow* window, std::string menuName);
    void clearWindow();
    // False when no loaded window has that menu name.
    bool requestToggle(const std::string& menuName);
    // Waits until count more frames were drawn; false if the drawing pass ended first.
    bool waitFrames(std::uint64_t count);
    // Waits for the drawing pass to write the file; returns an error text, empty on success.
    std::string screenshot(const std::string& path);
    // Runs step on the drawing pass with the host's ImGui context current, after the
    // Render of every frame from the first one that starts after this call, until it
    // returns true. Returns that true, or false when the drawing pass ended first.
    using UiStep = std::function<bool()>;
    bool runUiSteps(UiStep step);

    // Drawing pass.
    void applyToggles();
    // Draws the window into context if its menu is open; returns CapturesInput().
    bool drawWindow(ImGuiContext* context);
    bool menuOpen() const;
    struct ScreenshotRequest {
        std::string path;
        std::promise<std::string> result;
    };
    std::deque<ScreenshotRequest> takeScreenshotRequests();
    // Before NewFrame: steps queued so far join this frame. After Render: they run.
    void beginFrameUiSteps();
    void runFrameUiSteps();
    void frameDone();
    // The drawing pass has ended: waiters are released, requests fail.
    void stop();

    // Any thread: the longest time one frame spent in the plugin's window since the last call
    // (wall time, and the drawing thread's own processor time), the processor time that 99 in
    // 100 frames stayed within, and how many frames drew it. On a virtual machine one frame's
    // processor time can hold the host's own interruptions; a fault of the plugin's drawing
    // shows in the percentile too, because it repeats.
    struct DrawTimes {
        double longestWallMs = 0;
        double longestCpuMs = 0;
        double percentile99CpuMs = 0;
        std::uint64_t frames = 0;
    };
    DrawTimes takeDrawTimes();

private:
    void drawFailed(const std::string& message);

    void recordDrawTime(std::int64_t wallNs, std::int64_t cpuNs);

    // Frame processor times in 20 µs steps up to 40 ms (the last step holds every longer frame):
    // bounded memory however long the host runs between two asks.
    static constexpr double kStepMs = 0.02;
    static constexpr std::size_t kSteps = 2000;

    std::mutex timesMutex;
    DrawTimes times;
    std::vector<std::uint32_t> cpuSteps = std::vector<std::uint32_t>(kSteps, 0);

    mutable std::mutex windowMutex; // held while the drawing pass is inside the window
    BakkesMod::Plugin::PluginWindow* window = nullptr;
    std::string menuName;
    bool open = false;
    int pendingToggles = 0;
    bool reportedDrawError = false;

    std::mutex frameMutex;
    std::condition_variable frameAdvanced;
    std::uint64_t frames = 0;
    bool stopped = false;
    std::deque<ScreenshotRequest> screenshots;

    struct UiTask {
        UiStep step;
        std::promise<bool> done;
    };
    std::deque<UiTask> queuedUiTasks;  // guarded by frameMutex
    std::deque<UiTask> activeUiTasks;  // drawing pass only
};

} // namespace devhost
