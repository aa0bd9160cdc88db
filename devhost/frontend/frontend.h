#pragma once
// The drawing pass: a GLFW window with OpenGL, or headless frames without a renderer.
// Both own the host's ImGui context and run on the main thread.
#include <atomic>
#include <memory>
#include <string>

#include "console/command_queue.h"
#include "console/console.h"
#include "frontend/draw_state.h"
#include "services/image_service.h"

namespace devhost {

struct FrontendContext {
    DrawState& draw;
    DevConsole& console;   // key binds
    CommandQueue& commands; // a bound key's command goes here
    std::atomic<bool>& quit; // closing the window asks to quit
    ImageStore& images;      // the plugin's images, turned into textures by the window
    int width;
    int height;
};

class Frontend {
public:
    virtual ~Frontend() = default;
    // One frame: input, the plugin's window if its menu is open, screenshots.
    virtual void frame() = 0;
};

// Null with error set when no window can be opened (no display, no OpenGL 3).
std::unique_ptr<Frontend> CreateWindowFrontend(const FrontendContext& context, std::string& error);
std::unique_ptr<Frontend> CreateHeadlessFrontend(const FrontendContext& context);

} // namespace devhost
