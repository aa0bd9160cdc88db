// The window: GLFW + OpenGL 3 with ImGui's backends. Keys reach the "game" (printed as
// "[game] key" lines) only while the plugin's window does not capture input; function
// keys and Escape run their binds even then, so F8 can close the menu it opened.
#include <imgui.h>
#include <imgui_impl_glfw.h>
#include <imgui_impl_opengl3.h>

#include <GLFW/glfw3.h>

#include <cctype>

#include "frontend/frontend.h"
#include "output.h"
#include "frontend/screenshot.h"

namespace devhost {

namespace {

std::string KeyName(int key, int scancode)
{
    if (key >= GLFW_KEY_F1 && key <= GLFW_KEY_F25) return "F" + std::to_string(key - GLFW_KEY_F1 + 1);
    switch (key) {
    case GLFW_KEY_ESCAPE: return "Escape";
    case GLFW_KEY_ENTER: return "Enter";
    case GLFW_KEY_TAB: return "Tab";
    case GLFW_KEY_SPACE: return "Space";
    case GLFW_KEY_BACKSPACE: return "Backspace";
    case GLFW_KEY_INSERT: return "Insert";
    case GLFW_KEY_DELETE: return "Delete";
    case GLFW_KEY_HOME: return "Home";
    case GLFW_KEY_END: return "End";
    case GLFW_KEY_PAGE_UP: return "PageUp";
    case GLFW_KEY_PAGE_DOWN: return "PageDown";
    case GLFW_KEY_LEFT: return "Left";
    case GLFW_KEY_RIGHT: return "Right";
    case GLFW_KEY_UP: return "Up";
    case GLFW_KEY_DOWN: return "Down";
    default: break;
    }
    const char* name = glfwGetKeyName(key, scancode);
    if (!name) return {};
    std::string text = name;
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

class WindowFrontend : public Frontend {
public:
    explicit WindowFrontend(const FrontendContext& context) : ctx(context) {}

    ~WindowFrontend() override
    {
        if (imgui) {
            ImGui::SetCurrentContext(imgui);
            if (openGlReady) ctx.images.releaseTextures();
            if (openGlReady) ImGui_ImplOpenGL3_Shutdown();
            if (glfwReady) ImGui_ImplGlfw_Shutdown();
            ImGui::DestroyContext(imgui);
        }
        if (window) glfwDestroyWindow(window);
        glfwTerminate();
    }

    std::string init()
    {
        glfwSetErrorCallback([](int, const char* description) { HostMessage(std::string("GLFW: ") + description); });
        if (!glfwInit()) return "cannot start GLFW (is there a display?)";
        glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
        glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 0);
        window = glfwCreateWindow(ctx.width, ctx.height, "devhost", nullptr, nullptr);
        if (!window) return "cannot open an OpenGL 3 window";
        glfwMakeContextCurrent(window);
        glfwSwapInterval(1);
        glfwSetWindowUserPointer(window, this);
        // Installed before ImGui's, which calls it after its own.
        glfwSetKeyCallback(window, [](GLFWwindow* w, int key, int scancode, int action, int) {
            static_cast<WindowFrontend*>(glfwGetWindowUserPointer(w))->onKey(key, scancode, action);
        });
        glfwSetMouseButtonCallback(window, [](GLFWwindow* w, int button, int action, int) {
            static_cast<WindowFrontend*>(glfwGetWindowUserPointer(w))->onMouseButton(button, action);
        });

        imgui = ImGui::CreateContext();
        ImGui::GetIO().IniFilename = nullptr;
        glfwReady = ImGui_ImplGlfw_InitForOpenGL(window, true);
        openGlReady = ImGui_ImplOpenGL3_Init("#version 130");
        if (!glfwReady || !openGlReady) return "cannot set up ImGui's OpenGL 3 renderer";
        return {};
    }

    void frame() override
    {
        glfwPollEvents();
        if (glfwWindowShouldClose(window)) ctx.quit = true;
        ImGui::SetCurrentContext(imgui);
        ctx.draw.applyToggles();
        ctx.draw.beginFrameUiSteps();
        ImGui_ImplOpenGL3_NewFrame();
        ImGui_ImplGlfw_NewFrame();
        ImGui::NewFrame();
        ImGui::GetBackgroundDrawList()->AddText(ImVec2(12, 10), IM_COL32(200, 200, 210, 255),
                                                "devhost: the game view (F8 opens the plugin's menu)");
        captured = ctx.draw.drawWindow(imgui);
        ImGui::Render();
        ctx.draw.runFrameUiSteps();

        int width = 0, height = 0;
        glfwGetFramebufferSize(window, &width, &height);
        glViewport(0, 0, width, height);
        glClearColor(0.10f, 0.12f, 0.16f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        ctx.images.resolveTextures(ImGui::GetDrawData());
        ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
        for (auto& request : ctx.draw.takeScreenshotRequests())
            request.result.set_value(WriteFramebufferPng(request.path, width, height));
        glfwSwapBuffers(window);
        ctx.draw.frameDone();
    }

private:
    void onKey(int key, int scancode, int action)
    {
        if (action != GLFW_PRESS) return;
        const std::string name = KeyName(key, scancode);
        if (name.empty()) return;
        const bool functionKey = name == "Escape" || (name.size() >= 2 && name[0] == 'F' && std::isdigit(name[1]));
        if (captured && !functionKey) return;
        if (auto command = ctx.console.bind(name)) {
            ctx.commands.push(*command);
        } else if (!captured) {
            PrintLine("[game] key " + name);
        }
    }

    void onMouseButton(int button, int action)
    {
        if (action == GLFW_PRESS && !captured && !ImGui::GetIO().WantCaptureMouse)
            PrintLine("[game] mouse button " + std::to_string(button + 1));
    }

    FrontendContext ctx;
    GLFWwindow* window = nullptr;
    ImGuiContext* imgui = nullptr;
    bool glfwReady = false;
    bool openGlReady = false;
    bool captured = false; // the plugin's window took the input in the last frame
};

} // namespace

std::unique_ptr<Frontend> CreateWindowFrontend(const FrontendContext& context, std::string& error)
{
    auto frontend = std::make_unique<WindowFrontend>(context);
    error = frontend->init();
    if (!error.empty()) return nullptr;
    return frontend;
}

} // namespace devhost
