#pragma once
#include <string>

namespace devhost {

// Reads the current OpenGL framebuffer (width x height) and writes it as a PNG.
// Returns an error text, empty on success.
std::string WriteFramebufferPng(const std::string& path, int width, int height);

} // namespace devhost
