#pragma once
// An image file loaded by the host for drawing with ImGui.
#include <optional>
#include <string>

#include "bakkesmod/host/services.h"

struct Vector2F {
    float X = 0;
    float Y = 0;
};

class ImageWrapper {
public:
    explicit ImageWrapper(std::string path, bool canvasLoad = false, bool imguiLoad = false);

    bool IsLoadedForImGui() const { return image.has_value(); }
    // Loads on first use; null when the file could not be loaded.
    void* GetImGuiTex();
    Vector2F GetSizeF();

private:
    void load();

    std::string path;
    bool attempted = false;
    std::optional<bakkesmod::host::LoadedImage> image;
};
