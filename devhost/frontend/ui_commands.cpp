#include "frontend/ui_commands.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <chrono>
#include <map>
#include <optional>
#include <stdexcept>
#include <memory>

#include "output.h"
#include "ui_input.h"
#include "ui_path.h"
#include "ui_scroll.h"
#include "ui_text.h"

namespace devhost {

namespace {

// A window may take a few frames to be shown: a menu opened by the line before, a drop-down
// that sizes itself before it appears.
constexpr int kAppearFrames = 5;
// An item can be missing for a frame while its window lays out (a tab's content, a row that a
// reply just brought); a missing item costs these attempts, one frame each.
constexpr int kActivateAttempts = 3;

const char* kUsage = "ui press <path> | ui type <path> <text> | ui pick <combo path> <entry> | ui windows | "
                     "ui text [window] | ui wait <window> <text> [seconds]";

bool Fail(const std::string& text)
{
    HostMessage(text);
    return false;
}

bool Shown(const ImGuiWindow* window) { return window && window->Active && !window->Hidden; }

// SetActiveID zeroes the timer, and every NewFrame advances it: zero after a frame means the
// item took the activation in that frame.
bool JustActivated(ImGuiID id)
{
    const ImGuiContext& g = *GImGui;
    return g.LastActiveId == id && g.LastActiveIdTimer == 0.0f;
}

// Checked on the console thread before any frame is involved, so a typing mistake is named as one.
bool CheckItemPath(const std::string& path)
{
    // Resolved again on every frame the command waits: a huge one would stall the drawing pass.
    constexpr size_t kMaxPathBytes = 4096;
    if (path.size() > kMaxPathBytes)
        return Fail("ui: the id path is longer than " + std::to_string(kMaxPathBytes) + " bytes");
    const auto segments = kestrel::ui::ParseIdPath(path);
    if (!segments) {
        return Fail("ui: cannot read the id path " + path +
                    " (segments are separated by '/', none is empty; write \\/ for a slash in a label)");
    }
    if (segments->size() < 2) return Fail("ui: " + path + " names a window; add the item inside it (<window>/<item>)");
    return true;
}

std::string WindowOf(const std::string& path) { return kestrel::ui::ParseIdPath(path)->front().text; }

enum class Progress { Pending, Done, Failed };

// Activates the item of an id path the way a click or Enter would, on the next frame, and checks
// afterwards that the item took it.
struct Activation {
    std::string path;
    bool textInput = false;  // start text editing instead of pressing
    ImGuiID id = 0;
    int waited = 0;
    int attempts = 0;
    bool requested = false;
    std::string windowMissing;  // set when giving up because the item's window is not shown
    // Before the press the item is brought on screen, as a person scrolls to what they click.
    bool located = false;
    bool looking = false;  // the item was made the focus last frame, to see whether and where it is drawn
    int slice = 0;         // the part of its window shown next while it is not drawn

    Progress step()
    {
        ImGuiContext& g = *GImGui;
        if (requested) {
            requested = false;
            const bool took = textInput ? g.ActiveId == id && g.InputTextState.ID == id : JustActivated(id);
            if (took) return Progress::Done;
            if (++attempts >= kActivateAttempts) return Progress::Failed;
        }
        const auto resolved = kestrel::ui::ResolveIdPath(path);
        if (!resolved) return Progress::Failed;
        const std::string top = WindowOf(path);
        if (!Shown(resolved->window) || !Shown(ImGui::FindWindowByName(top.c_str()))) {
            if (++waited > kAppearFrames) {
                if (!Shown(ImGui::FindWindowByName(top.c_str()))) windowMissing = top;
                return Progress::Failed;
            }
            return Progress::Pending;
        }
        id = resolved->id;
        if (resolved->window && !located) {
            if (looking) {
                looking = false;
                if (const auto rect = kestrel::ui::DrawnFocusRect(id)) {
                    located = true;
                    // A drop-down opened off screen would close again as soon as its combo is skipped.
                    if (!kestrel::ui::FullyVisible(resolved->window, *rect)) {
                        kestrel::ui::ScrollIntoView(resolved->window, *rect);
                        return Progress::Pending;
                    }
                } else if (!kestrel::ui::ScrollToSlice(resolved->window, slice++)) {
                    located = true;  // drawn nowhere: the press below fails and says so
                }
            }
            if (!located) {
                ImGui::SetFocusID(id, resolved->window);
                looking = true;
                return Progress::Pending;
            }
        }
        // ImGui skips an item scrolled out of view unless it holds the navigation focus, and a
        // skipped item cannot be activated: entry 59 of an 8-row drop-down would be out of reach.
        if (resolved->window) ImGui::SetFocusID(id, resolved->window);
        if (textInput) {
            // What Ctrl+click or Enter on a field asks for: editing, with all its text selected.
            g.NavNextActivateId = id;
            g.NavNextActivateFlags = ImGuiActivateFlags_PreferInput;
        } else {
            ImGui::ActivateItem(id);
        }
        requested = true;
        return Progress::Pending;
    }

    std::string missing(const std::string& what) const
    {
        std::string text = "ui: no " + what + " " + path + " is shown";
        if (!windowMissing.empty()) text += " (no window \"" + windowMissing + "\" is shown)";
        return text;
    }
};

bool Press(DrawState& draw, const std::string& path)
{
    if (!CheckItemPath(path)) return false;
    enum class Stage { Press, AskField, Settle, Pressed, Missing, TextField };
    struct State {
        Activation press;
        Activation edit;  // a press that did nothing may have been on a text field
        Stage stage = Stage::Press;
    };
    auto state = std::make_shared<State>();
    state->press.path = path;
    state->edit.path = path;
    state->edit.textInput = true;
    const bool ran = draw.runUiSteps([state] {
        switch (state->stage) {
        case Stage::Press:
            switch (state->press.step()) {
            case Progress::Pending: return false;
            case Progress::Done:
                // One more frame, so what the press changed (a tab's content, a closed menu) is in
                // place for the next line.
                state->stage = Stage::Settle;
                return false;
            case Progress::Failed:
                state->stage = state->press.windowMissing.empty() ? Stage::AskField : Stage::Missing;
                return state->stage == Stage::Missing;
            }
            return false;
        case Stage::AskField:
            switch (state->edit.step()) {
            case Progress::Pending: return false;
            case Progress::Done:
                ImGui::ClearActiveID();  // leaves the field as it was
                state->stage = Stage::TextField;
                return true;
            case Progress::Failed:
                state->stage = Stage::Missing;
                return true;
            }
            return false;
        case Stage::Settle:
            state->stage = Stage::Pressed;
            return true;
        default:
            return true;
        }
    });
    if (!ran) return Fail("ui: the drawing pass has ended");
    if (state->stage == Stage::TextField) return Fail("ui: " + path + " is a text field; ui type <path> <text> fills it");
    if (state->stage != Stage::Pressed) return Fail(state->press.missing("item"));
    HostMessage("ui: pressed " + path);
    return true;
}

bool Type(DrawState& draw, const std::string& path, const std::string& text)
{
    if (!CheckItemPath(path)) return false;
    const auto characters = kestrel::ui::DecodeUtf8(text);
    if (!characters) return Fail("ui: the text to type into " + path + " is not valid UTF-8");
    struct State {
        Activation activation;
        int stage = 0;
        int deleteKey = -1;
        bool failed = false;
        bool reached = false; // the field was still being edited once the characters were in
        bool kept = false;
        size_t keptCharacters = 0;
    };
    auto state = std::make_shared<State>();
    state->activation.path = path;
    state->activation.textInput = true;
    const bool ran = draw.runUiSteps([state, text, characters] {
        ImGuiContext& g = *GImGui;
        ImGuiIO& io = g.IO;
        switch (state->stage) {
        case 0: {
            const Progress progress = state->activation.step();
            if (progress == Progress::Pending) return false;
            if (progress == Progress::Failed) {
                state->failed = true;
                return true;
            }
            // Everything is selected: typing replaces it, Delete empties the field.
            if (!text.empty()) {
                for (char32_t c : *characters) io.AddInputCharacter(static_cast<unsigned int>(c));
            } else if (io.KeyMap[ImGuiKey_Delete] >= 0) {
                state->deleteKey = io.KeyMap[ImGuiKey_Delete];
                io.KeysDown[state->deleteKey] = true;
            }
            state->stage = 1;
            return false;
        }
        case 1:
            if (state->deleteKey >= 0) io.KeysDown[state->deleteKey] = false;
            if (g.InputTextState.ID == state->activation.id && g.InputTextState.TextAIsValid) {
                const std::string held = g.InputTextState.TextA.Data ? g.InputTextState.TextA.Data : "";
                state->reached = true;
                state->kept = held == text;
                const auto heldCharacters = kestrel::ui::DecodeUtf8(held);
                state->keptCharacters = heldCharacters ? heldCharacters->size() : 0;
            }
            // Leaving the field, as a click elsewhere would; the field keeps what it holds.
            if (g.ActiveId == state->activation.id) ImGui::ClearActiveID();
            state->stage = 2;
            return false;
        default:
            return true;
        }
    });
    if (!ran) return Fail("ui: the drawing pass has ended");
    if (state->failed) return Fail(state->activation.missing("text field"));
    // The text itself is not repeated: it may be a password, and these lines end up in bug reports.
    if (!state->reached) return Fail("ui: the text did not reach " + path + " (the field stopped editing)");
    std::string report = "ui: typed " + std::to_string(characters->size()) + " characters into " + path;
    if (!state->kept) report += "; the field kept " + std::to_string(state->keptCharacters) + " (it is full or refuses some)";
    HostMessage(report);
    return true;
}

bool Pick(DrawState& draw, const std::string& comboPath, const std::string& entry)
{
    if (!CheckItemPath(comboPath)) return false;
    const auto entrySegments = kestrel::ui::ParseIdPath(entry);
    if (!entrySegments) return Fail("ui: cannot read the entry " + entry + " (write \\/ for a slash in a label)");
    struct State {
        Activation combo;
        Activation item;
        int stage = 0;
        std::string error;
        int settle = 1;
    };
    auto state = std::make_shared<State>();
    state->combo.path = comboPath;
    const bool ran = draw.runUiSteps([state, entry] {
        ImGuiContext& g = *GImGui;
        const auto popupIndex = [&]() -> int {
            const ImGuiID popupId = ImHashStr("##ComboPopup", 0, state->combo.id);
            for (int i = 0; i < g.OpenPopupStack.Size; ++i) {
                if (g.OpenPopupStack[i].PopupId == popupId && g.OpenPopupStack[i].Window) return i;
            }
            return -1;
        };
        if (state->stage == 0) {
            const Progress progress = state->combo.step();
            if (progress == Progress::Pending) return false;
            if (progress == Progress::Failed) {
                state->error = state->combo.missing("item");
                return true;
            }
            const int popup = popupIndex();
            if (popup < 0) {
                state->error = "ui: " + state->combo.path + " opened no drop-down (is it a combo?)";
                return true;
            }
            state->item.path = kestrel::ui::EscapeIdPathSegment(g.OpenPopupStack[popup].Window->Name) + "/" + entry;
            state->stage = 1;
            return false;
        }
        if (state->stage == 1) {
            const Progress progress = state->item.step();
            if (progress == Progress::Pending) return false;
            if (progress == Progress::Failed) {
                state->error = "ui: no entry " + entry + " in the drop-down of " + state->combo.path +
                               " (a list that numbers its entries needs @<n>/<label>)";
                // A drop-down left open would swallow the next line's press.
                if (const int popup = popupIndex(); popup >= 0) ImGui::ClosePopupToLevel(popup, true);
                return true;
            }
            state->stage = 2;
            return false;
        }
        return state->settle-- == 0;
    });
    if (!ran) return Fail("ui: the drawing pass has ended");
    if (!state->error.empty()) return Fail(state->error);
    HostMessage("ui: picked " + entry + " in " + comboPath);
    return true;
}

bool Windows(DrawState& draw)
{
    auto names = std::make_shared<std::vector<std::string>>();
    const bool ran = draw.runUiSteps([names] {
        // Back to front, as ImGui keeps them.
        for (const ImGuiWindow* window : GImGui->Windows) {
            if (!(window->Flags & ImGuiWindowFlags_ChildWindow) && Shown(window)) names->push_back(window->Name);
        }
        return true;
    });
    if (!ran) return Fail("ui: the drawing pass has ended");
    if (names->empty()) HostMessage("ui: no windows are shown");
    for (const std::string& name : *names) HostMessage("ui: window: " + name);
    return true;
}

// The text lines of the last rendered frame: of one window, or of all, each line led by its
// top-level window's name. Empty when the window is not shown (missing says so).
std::vector<std::string> DrawnLines(const std::optional<std::string>& windowName, bool& missing)
{
    std::vector<std::string> lines;
    ImGuiIO& io = ImGui::GetIO();
    const ImDrawData* data = ImGui::GetDrawData();
    missing = windowName && !Shown(ImGui::FindWindowByName(windowName->c_str()));
    if (missing || !data || io.Fonts->Fonts.Size == 0) return lines;
    const auto runs = kestrel::ui::ReadDrawnText(*data, *io.Fonts->Fonts[0]);
    if (windowName) {
        std::vector<kestrel::ui::DrawnText> inWindow;
        for (const auto& run : runs) {
            if (kestrel::ui::InWindow(run.window, *windowName)) inWindow.push_back(run);
        }
        return kestrel::ui::JoinTextLines(std::move(inWindow));
    }
    // Grouped by top-level window, in the order the windows were drawn.
    std::vector<std::string> order;
    std::map<std::string, std::vector<kestrel::ui::DrawnText>> byWindow;
    for (const auto& run : runs) {
        const ImGuiWindow* window = ImGui::FindWindowByName(run.window.c_str());
        const std::string top = window && window->RootWindow ? window->RootWindow->Name : run.window;
        if (!byWindow.count(top)) order.push_back(top);
        byWindow[top].push_back(run);
    }
    for (const std::string& top : order) {
        for (const std::string& line : kestrel::ui::JoinTextLines(byWindow[top])) lines.push_back("[" + top + "] " + line);
    }
    return lines;
}

bool Text(DrawState& draw, const std::optional<std::string>& windowName)
{
    auto lines = std::make_shared<std::vector<std::string>>();
    auto missing = std::make_shared<bool>(false);
    const bool ran = draw.runUiSteps([lines, missing, windowName] {
        *lines = DrawnLines(windowName, *missing);
        return true;
    });
    if (!ran) return Fail("ui: the drawing pass has ended");
    if (*missing) return Fail("ui: no window " + *windowName + " is shown");
    if (lines->empty()) HostMessage("ui: no text is shown");
    for (const std::string& line : *lines) HostMessage("ui: text: " + line);
    return true;
}

// Scripts wait for what the plugin shows instead of sleeping for a guessed time.
bool Wait(DrawState& draw, const std::string& windowName, const std::string& wanted, const std::string& secondsText)
{
    double seconds = 0;
    try {
        size_t used = 0;
        seconds = std::stod(secondsText, &used);
        if (used != secondsText.size() || !(seconds > 0 && seconds <= 3600)) throw std::invalid_argument(secondsText);
    } catch (const std::exception&) {
        return Fail("ui wait: " + secondsText + " is not a number of seconds from 0 to 3600");
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    auto found = std::make_shared<std::optional<std::string>>();
    const bool ran = draw.runUiSteps([found, windowName, wanted, deadline] {
        bool missing = false;
        for (const std::string& line : DrawnLines(windowName, missing)) {
            if (line.find(wanted) != std::string::npos) {
                *found = line;
                return true;
            }
        }
        return std::chrono::steady_clock::now() >= deadline;
    });
    if (!ran) return Fail("ui: the drawing pass has ended");
    if (!*found) return Fail("ui wait: no text \"" + wanted + "\" in " + windowName + " within " + secondsText + " s");
    HostMessage("ui: text: " + **found);
    return true;
}

} // namespace

bool RunUiCommand(DrawState& draw, const std::vector<std::string>& words)
{
    const std::string what = words.size() > 1 ? words[1] : "";
    const size_t count = words.size();
    if (what == "press" && count == 3) return Press(draw, words[2]);
    if (what == "type" && count == 4) return Type(draw, words[2], words[3]);
    if (what == "pick" && count == 4) return Pick(draw, words[2], words[3]);
    if (what == "windows" && count == 2) return Windows(draw);
    if (what == "text" && (count == 2 || count == 3))
        return Text(draw, count == 3 ? std::optional<std::string>(words[2]) : std::nullopt);
    if (what == "wait" && (count == 4 || count == 5)) return Wait(draw, words[2], words[3], count == 5 ? words[4] : "10");
    HostMessage(std::string("usage: ") + kUsage + " (quote paths and text that have spaces)");
    return false;
}

} // namespace devhost
