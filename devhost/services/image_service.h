#pragma once
// Images for the plugin's ImGui drawing. A load may come from any thread, but textures
// can only be made on the drawing pass, so a load hands out a token as the texture id
// and the window frontend swaps tokens for OpenGL textures just before rendering.
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "bakkesmod/host/services.h"

struct ImDrawData;

namespace devhost {

class ImageStore : public bakkesmod::host::ImageService {
public:
    // Null (with a message) when the file is missing or not an image stb_image reads.
    std::optional<bakkesmod::host::LoadedImage> load(const std::string& path) override;

    // Drawing pass, windowed mode: uploads waiting images and rewrites token ids.
    void resolveTextures(ImDrawData* drawData);
    // Drawing pass, before its OpenGL context goes.
    void releaseTextures();

private:
    struct Image {
        int width = 0;
        int height = 0;
        std::vector<unsigned char> pixels; // RGBA, emptied once uploaded
        unsigned texture = 0;              // OpenGL name, 0 until uploaded
    };

    std::mutex mutex;
    std::map<std::string, size_t> byPath; // the same file is loaded once
    std::vector<Image> images;            // index = token - kFirstToken
};

} // namespace devhost
