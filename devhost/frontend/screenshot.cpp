#include "frontend/screenshot.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb/stb_image_write.h>

namespace devhost {

std::string WriteFramebufferPng(const std::string& path, int width, int height)
{
    if (width <= 0 || height <= 0) return "the window has no area";
    const size_t stride = static_cast<size_t>(width) * 4;
    std::vector<unsigned char> pixels(stride * static_cast<size_t>(height));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    if (glGetError() != GL_NO_ERROR) return "cannot read the window's pixels";
    // OpenGL's rows start at the bottom; PNG's at the top.
    std::vector<unsigned char> flipped(pixels.size());
    for (int row = 0; row < height; ++row) {
        std::copy_n(pixels.begin() + static_cast<long>(stride) * (height - 1 - row), stride,
                    flipped.begin() + static_cast<long>(stride) * row);
    }
    for (size_t i = 3; i < flipped.size(); i += 4) flipped[i] = 255; // the window has no transparency
    if (!stbi_write_png(path.c_str(), width, height, 4, flipped.data(), static_cast<int>(stride)))
        return "cannot write " + path;
    return {};
}

} // namespace devhost
