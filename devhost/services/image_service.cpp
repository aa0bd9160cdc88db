#include "services/image_service.h"

#include <GLFW/glfw3.h>
#include <imgui.h>

#include <cstdint>
#include <filesystem>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#include <stb/stb_image.h>

#include "output.h"

namespace devhost {

namespace {

// Far above the small names OpenGL hands out, so a token is never a real texture.
constexpr std::uintptr_t kFirstToken = 0x7f000000;

} // namespace

std::optional<bakkesmod::host::LoadedImage> ImageStore::load(const std::string& path)
{
    std::error_code error;
    const std::string key = std::filesystem::absolute(path, error).lexically_normal().string();
    std::lock_guard<std::mutex> lock(mutex);
    auto found = byPath.find(key);
    if (found == byPath.end()) {
        int width = 0, height = 0, channels = 0;
        unsigned char* pixels = stbi_load(key.c_str(), &width, &height, &channels, 4);
        if (!pixels) {
            HostMessage("cannot load the image " + path + ": " + stbi_failure_reason());
            return std::nullopt;
        }
        Image image;
        image.width = width;
        image.height = height;
        image.pixels.assign(pixels, pixels + static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
        stbi_image_free(pixels);
        images.push_back(std::move(image));
        found = byPath.emplace(key, images.size() - 1).first;
    }
    const Image& image = images[found->second];
    return bakkesmod::host::LoadedImage{reinterpret_cast<void*>(kFirstToken + found->second),
                                        static_cast<float>(image.width), static_cast<float>(image.height)};
}

void ImageStore::resolveTextures(ImDrawData* drawData)
{
    if (!drawData) return;
    std::lock_guard<std::mutex> lock(mutex);
    for (int list = 0; list < drawData->CmdListsCount; ++list) {
        for (ImDrawCmd& command : drawData->CmdLists[list]->CmdBuffer) {
            auto id = reinterpret_cast<std::uintptr_t>(command.TextureId);
            if (id < kFirstToken || id - kFirstToken >= images.size()) continue;
            Image& image = images[id - kFirstToken];
            if (!image.texture) {
                GLuint texture = 0;
                glGenTextures(1, &texture);
                glBindTexture(GL_TEXTURE_2D, texture);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
                glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
                glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, image.width, image.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                             image.pixels.data());
                image.texture = texture;
                image.pixels.clear();
                image.pixels.shrink_to_fit();
            }
            command.TextureId = reinterpret_cast<ImTextureID>(static_cast<std::uintptr_t>(image.texture));
        }
    }
}

void ImageStore::releaseTextures()
{
    std::lock_guard<std::mutex> lock(mutex);
    for (Image& image : images) {
        if (image.texture) glDeleteTextures(1, &image.texture);
        image.texture = 0;
    }
}

} // namespace devhost
