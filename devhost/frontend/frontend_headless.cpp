// Headless frames: the same ImGui frames as the window, with the draw data thrown away.
// There is no picture, so screenshots are refused with a message saying so.
#include <imgui.h>

#include "frontend/frontend.h"

namespace devhost {

namespace {

class HeadlessFrontend : public Frontend {
public:
    explicit HeadlessFrontend(const FrontendContext& context) : ctx(context)
    {
        imgui = ImGui::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.DisplaySize = ImVec2(static_cast<float>(ctx.width), static_cast<float>(ctx.height));
        io.DeltaTime = 1.0f / 60.0f;
        // No keyboard here: the map only gives scripted key presses ("ui type") somewhere to land.
        for (int key = 0; key < ImGuiKey_COUNT; ++key) io.KeyMap[key] = key;
        unsigned char* pixels = nullptr;
        int w = 0, h = 0;
        io.Fonts->GetTexDataAsRGBA32(&pixels, &w, &h);
    }
    ~HeadlessFrontend() override { ImGui::DestroyContext(imgui); }

    void frame() override
    {
        ImGui::SetCurrentContext(imgui);
        ctx.draw.applyToggles();
        ctx.draw.beginFrameUiSteps();
        ImGui::NewFrame();
        ctx.draw.drawWindow(imgui);
        ImGui::Render();
        ctx.draw.runFrameUiSteps();
        for (auto& request : ctx.draw.takeScreenshotRequests())
            request.result.set_value("no picture in headless mode (there is no renderer); nothing written");
        ctx.draw.frameDone();
    }

private:
    FrontendContext ctx;
    ImGuiContext* imgui = nullptr;
};

} // namespace

std::unique_ptr<Frontend> CreateHeadlessFrontend(const FrontendContext& context)
{
    return std::make_unique<HeadlessFrontend>(context);
}

} // namespace devhost
