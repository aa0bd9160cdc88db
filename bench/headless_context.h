#pragma once
// A Dear ImGui context that runs frames without a renderer.
#include <imgui.h>

namespace kestrel::bench {

class HeadlessContext {
public:
    HeadlessContext()
    {
        ctx = ImGui::CreateContext();
        ImGui::SetCurrentContext(ctx);
        ImGuiIO& io = ImGui::GetIO();
        io.DisplaySize = ImVec2(1920, 1080);
        io.DeltaTime = 1.0f / 60.0f;
        io.IniFilename = nullptr;
        unsigned char* pixels = nullptr;
        int width = 0;
        int height = 0;
        io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    }
    ~HeadlessContext() { ImGui::DestroyContext(ctx); }
    HeadlessContext(const HeadlessContext&) = delete;
    HeadlessContext& operator=(const HeadlessContext&) = delete;

    template <typename Draw>
    void frame(Draw&& draw)
    {
        ImGui::NewFrame();
        draw();
        ImGui::Render();
    }

private:
    ImGuiContext* ctx = nullptr;
};

} // namespace kestrel::bench
