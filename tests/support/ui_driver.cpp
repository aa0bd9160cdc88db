#define IMGUI_DEFINE_MATH_OPERATORS  // ImVec2 arithmetic from imgui_internal.h
#include "ui_driver.h"

#include <cmath>
#include <cstring>
#include <thread>
#include <stdexcept>

#include "ui_input.h"
#include "ui_path.h"

namespace kestrel::testing {
namespace {

constexpr float frameSeconds = 1.0f / 60.0f;
constexpr int stableFrameLimit = 10;

void IgnoreRecoveryMessage(void*, const char*, ...) {}

bool SameRect(const ImRect& a, const ImRect& b)
{
    return a.Min.x == b.Min.x && a.Min.y == b.Min.y && a.Max.x == b.Max.x && a.Max.y == b.Max.y;
}

bool IsPath(std::string_view query)
{
    const auto segments = ui::ParseIdPath(query);
    return segments && segments->size() > 1;
}

}  // namespace

std::string UiItem::visibleLabel() const
{
    const std::size_t hidden = label.find("##");
    return hidden == std::string::npos ? label : label.substr(0, hidden);
}

UiDriver::UiDriver(std::function<void()> drawFn, ImVec2 displaySize) : draw(std::move(drawFn))
{
    ctx = ImGui::CreateContext();
    ImGui::SetCurrentContext(ctx);
    ImGuiIO& io = ImGui::GetIO();
    io.DisplaySize = displaySize;
    io.DeltaTime = frameSeconds;
    io.IniFilename = nullptr;  // window positions must not carry from one run to the next
    io.LogFilename = nullptr;
    for (int key = 0; key < ImGuiKey_COUNT; ++key) io.KeyMap[key] = key;
    unsigned char* pixels = nullptr;
    int width = 0;
    int height = 0;
    io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    AttachUiHooks(*ctx, this);
}

UiDriver::~UiDriver()
{
    ImGui::SetCurrentContext(ctx);
    AttachUiHooks(*ctx, nullptr);
    try {
        ImGui::DestroyContext(ctx);
    } catch (const ImGuiAssertion&) {
        // A test that broke the context has already failed on the first assertion.
    }
}

void UiDriver::frame()
{
    ImGui::SetCurrentContext(ctx);
    building.clear();
    latest.clear();
    ImGui::NewFrame();
    try {
        draw();
        ImGui::Render();
    } catch (...) {
        try {
            ImGui::ErrorCheckEndFrameRecover(IgnoreRecoveryMessage);
            ImGui::EndFrame();
        } catch (const ImGuiAssertion&) {
            // The first failure is the one worth reporting.
        }
        ++frameNumber;
        throw;
    }
    finishFrameRecords();
    ++frameNumber;
}

void UiDriver::frames(int count)
{
    for (int i = 0; i < count; ++i) frame();
}

bool UiDriver::frameUntil(const std::function<bool()>& done, int maxFrames)
{
    for (int i = 0; i < maxFrames; ++i) {
        frame();
        if (done()) return true;
    }
    return false;
}

bool UiDriver::frameUntilWithin(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        frame();
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void UiDriver::itemAdded(const ImRect& navRect, ImGuiID id)
{
    const ImGuiWindow* window = ctx->CurrentWindow;
    UiItem item;
    item.id = id;
    item.rect = navRect;
    item.clipRect = window->ClipRect;
    item.seed = window->IDStack.Size > 0 ? window->IDStack.back() : 0;
    item.windowId = window->ID;
    item.window = window->Name;
    latest[id] = building.size();
    building.push_back(std::move(item));
}

void UiDriver::itemInfo(ImGuiID id, const char* label, ImGuiItemStatusFlags flags)
{
    const auto found = latest.find(id);
    if (found == latest.end()) return;
    UiItem& item = building[found->second];
    if (label != nullptr) item.label = label;
    item.status = flags;
}

const char* UiDriver::itemLabel(ImGuiID id) const
{
    for (const UiItem& item : items) {
        if (item.id == id && !item.label.empty()) return item.label.c_str();
    }
    return nullptr;
}

void UiDriver::finishFrameRecords()
{
    previousRects.clear();
    for (const UiItem& item : items) previousRects[item.id] = item.rect;
    items.clear();
    for (std::size_t i = 0; i < building.size(); ++i) {
        if (latest[building[i].id] != i) continue;
        UiItem& item = building[i];
        const ImGuiWindow* window = ImGui::FindWindowByID(item.windowId);
        item.shown = window && window->Active && !window->Hidden && item.rect.Overlaps(item.clipRect);
        items.push_back(std::move(item));
    }
    building.clear();
    latest.clear();
}

bool UiDriver::matches(const UiItem& item, std::string_view name) const
{
    if (name.empty()) return false;
    if (!item.label.empty() && (item.label == name || item.visibleLabel() == name)) return true;
    return ImHashStr(name.data(), name.size(), item.seed) == item.id;
}

std::vector<UiItem> UiDriver::findAll(std::string_view query) const
{
    std::vector<UiItem> found;
    if (IsPath(query)) {
        ImGui::SetCurrentContext(ctx);
        const auto resolved = ui::ResolveIdPath(query);
        if (!resolved) return found;
        for (const UiItem& item : items) {
            if (item.id == resolved->id) found.push_back(item);
        }
        return found;
    }
    for (const UiItem& item : items) {
        if (matches(item, query)) found.push_back(item);
    }
    return found;
}

std::vector<UiItem> UiDriver::itemsIn(std::string_view window) const
{
    std::vector<UiItem> found;
    for (const UiItem& item : items) {
        if (ui::InWindow(item.window, window)) found.push_back(item);
    }
    return found;
}

std::optional<UiItem> UiDriver::find(std::string_view query) const
{
    const std::vector<UiItem> found = findAll(query);
    for (const UiItem& item : found) {
        if (item.shown) return item;
    }
    if (found.empty()) return std::nullopt;
    return found.front();
}

UiItem UiDriver::get(std::string_view query) const
{
    const std::vector<UiItem> found = findAll(query);
    std::vector<UiItem> shown;
    for (const UiItem& item : found) {
        if (item.shown) shown.push_back(item);
    }
    if (shown.size() == 1) return shown.front();
    throw std::runtime_error("ui: " + std::to_string(shown.size()) + " shown items match \"" + std::string(query) +
                             "\" (" + std::to_string(found.size()) + " submitted)");
}

bool UiDriver::itemShown(std::string_view query) const
{
    const std::optional<UiItem> item = find(query);
    return item && item->shown;
}

ImGuiWindow* UiDriver::windowNamed(std::string_view name) const
{
    ImGui::SetCurrentContext(ctx);
    return ImGui::FindWindowByName(std::string(name).c_str());
}

bool UiDriver::windowShown(std::string_view name) const
{
    const ImGuiWindow* window = windowNamed(name);
    return window && window->Active && !window->Hidden;
}

std::optional<ImRect> UiDriver::windowRect(std::string_view name) const
{
    const ImGuiWindow* window = windowNamed(name);
    if (!window) return std::nullopt;
    return ImRect(window->Pos, window->Pos + window->Size);
}

std::optional<std::string> UiDriver::comboPopup(std::string_view comboQuery) const
{
    const std::optional<UiItem> combo = find(comboQuery);
    if (!combo) return std::nullopt;
    const ImGuiID popupId = ImHashStr("##ComboPopup", 0, combo->id);
    for (const ImGuiPopupData& popup : ctx->OpenPopupStack) {
        if (popup.PopupId == popupId && popup.Window) return std::string(popup.Window->Name);
    }
    return std::nullopt;
}

std::vector<UiText> UiDriver::texts(std::string_view window) const
{
    if (textCacheFrame != frameNumber) {
        textCache.clear();
        textCacheFrame = frameNumber;
        ImGui::SetCurrentContext(ctx);
        const ImDrawData* data = ImGui::GetDrawData();
        const ImFont* font = ImGui::GetIO().Fonts->Fonts.Size > 0 ? ImGui::GetIO().Fonts->Fonts[0] : nullptr;
        if (data && font) textCache = ui::ReadDrawnText(*data, *font);
    }
    if (window.empty()) return textCache;
    std::vector<UiText> inWindow;
    for (const UiText& text : textCache) {
        if (ui::InWindow(text.window, window)) inWindow.push_back(text);
    }
    return inWindow;
}

std::vector<std::string> UiDriver::textLines(std::string_view window) const
{
    std::vector<std::string> lines;
    for (const UiText& text : texts(window)) lines.push_back(text.text);
    return lines;
}

bool UiDriver::textShown(std::string_view text, std::string_view window) const
{
    for (const UiText& run : texts(window)) {
        if (run.text.find(text) != std::string::npos) return true;
    }
    return false;
}

void UiDriver::moveMouse(ImVec2 pos)
{
    ImGui::SetCurrentContext(ctx);
    ImGui::GetIO().MousePos = pos;
    frame();
}

UiItem UiDriver::waitUntilStable(ImGuiID id, const std::string& what)
{
    for (int attempt = 0; attempt <= stableFrameLimit; ++attempt) {
        for (const UiItem& item : items) {
            if (item.id != id || !item.shown) continue;
            const auto before = previousRects.find(id);
            if (before != previousRects.end() && SameRect(before->second, item.rect)) {
                return item;
            }
        }
        frame();
    }
    throw std::runtime_error("ui: \"" + what + "\" is not shown at a steady place");
}

void UiDriver::click(std::string_view query)
{
    scrollTo(query);
    const UiItem item = get(query);
    click(item);
}

void UiDriver::scrollTo(std::string_view query)
{
    // Wholly in view, as a person scrolls on until the row they look for is readable.
    const auto inView = [&] {
        const std::optional<UiItem> item = find(query);
        return item && item->shown && item->rect.Min.y >= item->clipRect.Min.y && item->rect.Max.y <= item->clipRect.Max.y;
    };
    if (inView()) return;
    ImGui::SetCurrentContext(ctx);
    ImGuiWindow* window = nullptr;
    if (IsPath(query)) {
        if (const auto resolved = ui::ResolveIdPath(query)) window = resolved->window;
    }
    if (const std::optional<UiItem> item = find(query); item && !window) window = windowNamed(item->window);
    // The nearest window around the item that can scroll; a region as tall as its content is scrolled by its parent.
    ImGuiWindow* scroller = window;
    while (scroller && scroller->ScrollMax.y <= 0.0f && (scroller->Flags & ImGuiWindowFlags_ChildWindow)) {
        scroller = scroller->ParentWindow;
    }
    const bool reached = scroller && scroller->ScrollMax.y > 0.0f && wheelUntil(scroller, inView);
    // Taller than its view, or cut by a window edge that does not scroll: the part on screen takes the click.
    if (!reached && !itemShown(query)) {
        throw std::runtime_error("ui: \"" + std::string(query) + "\" is not shown and scrolling does not reach it");
    }
}

bool UiDriver::wheelUntil(ImGuiWindow* scroller, const std::function<bool()>& shown)
{
    ImGui::SetCurrentContext(ctx);
    ImGuiIO& io = ImGui::GetIO();
    // The wheel goes to the window under the mouse, or to its parent when that one cannot scroll.
    const ImVec2 over = scroller->InnerClipRect.GetCenter();
    constexpr int wheelLimit = 200;
    for (const float notch : {-1.0f, 1.0f}) {
        for (int turn = 0; turn < wheelLimit; ++turn) {
            if (shown()) return true;
            const float before = scroller->Scroll.y;
            io.MousePos = over;
            io.MouseWheel = notch;
            frame();
            io.MouseWheel = 0.0f;
            if (scroller->Scroll.y == before) break;  // at the end of the range
        }
    }
    return shown();
}

void UiDriver::click(const UiItem& target)
{
    const std::string what = target.label.empty() ? target.window + " item " + std::to_string(target.id) : target.label;
    const UiItem item = waitUntilStable(target.id, what);
    ImRect visible = item.rect;
    visible.ClipWith(item.clipRect);
    hoverForClick(visible.GetCenter());
    if (ctx->HoveredId != item.id) {
        const std::string over = ctx->HoveredWindow ? ctx->HoveredWindow->Name : "nothing";
        throw std::runtime_error("ui: \"" + what + "\" is not under the mouse; it is over " + over);
    }
    pressAndRelease();
}

void UiDriver::clickAt(ImVec2 pos)
{
    hoverForClick(pos);
    pressAndRelease();
}

void UiDriver::hoverForClick(ImVec2 pos)
{
    ImGui::SetCurrentContext(ctx);
    ImGuiIO& io = ImGui::GetIO();
    // Far enough from any earlier click not to make a double-click of it.
    io.DeltaTime = io.MouseDoubleClickTime + 0.05f;
    io.MousePos = pos;
    frame();
    io.DeltaTime = frameSeconds;
}

void UiDriver::pressAndRelease()
{
    ImGui::SetCurrentContext(ctx);
    ImGuiIO& io = ImGui::GetIO();
    io.MouseDown[0] = true;
    frame();
    io.MouseDown[0] = false;
    frame();
}

void UiDriver::typeText(std::string_view text)
{
    const auto characters = kestrel::ui::DecodeUtf8(text);
    if (!characters) throw std::invalid_argument("ui: typed text is not valid UTF-8");
    ImGui::SetCurrentContext(ctx);
    for (char32_t c : *characters) ImGui::GetIO().AddInputCharacter(static_cast<unsigned int>(c));
    frame();
}

void UiDriver::pressKey(ImGuiKey key)
{
    ImGui::SetCurrentContext(ctx);
    ImGuiIO& io = ImGui::GetIO();
    io.KeysDown[io.KeyMap[key]] = true;
    frame();
    io.KeysDown[io.KeyMap[key]] = false;
    frame();
}

std::string UiDriver::openCombo(std::string_view comboQuery)
{
    if (const auto popup = comboPopup(comboQuery); popup && windowShown(*popup)) return *popup;
    click(comboQuery);
    if (!frameUntil([&] {
            const auto popup = comboPopup(comboQuery);
            return popup && windowShown(*popup);
        })) {
        throw std::runtime_error("ui: the drop-down of \"" + std::string(comboQuery) + "\" does not open");
    }
    return *comboPopup(comboQuery);
}

void UiDriver::pickComboEntry(std::string_view comboQuery, std::string_view entry)
{
    const std::string popup = openCombo(comboQuery);
    std::vector<UiItem> candidates;
    std::vector<UiItem> clipped;
    for (const UiItem& item : itemsIn(popup)) {
        if (matches(item, entry)) (item.shown ? candidates : clipped).push_back(item);
    }
    // An entry below the drop-down's eight rows is drawn but clipped: scroll the list to it.
    if (candidates.empty() && clipped.size() == 1) {
        candidates = clipped;
        const ImGuiID id = candidates.front().id;
        const auto entryShown = [&] {
            for (const UiItem& item : items) {
                if (item.id == id && item.shown) return true;
            }
            return false;
        };
        if (ImGuiWindow* list = windowNamed(popup); list && wheelUntil(list, entryShown)) {
            for (const UiItem& item : items) {
                if (item.id == id) candidates.front() = item;
            }
        }
    }
    if (candidates.size() != 1) {
        throw std::runtime_error("ui: " + std::to_string(candidates.size()) + " entries \"" + std::string(entry) +
                                 "\" in " + popup);
    }
    click(candidates.front());
}

void UiDriver::openHeader(std::string_view headerQuery)
{
    const UiItem header = get(headerQuery);
    if (header.open()) return;
    click(header);
    const std::optional<UiItem> after = find(headerQuery);
    if (!after || !after->open()) throw std::runtime_error("ui: \"" + std::string(headerQuery) + "\" did not open");
}

void UiDriver::closeWindow(std::string_view window) { click(ui::JoinIdPath({std::string(window), "#CLOSE"})); }

ImVec2 UiDriver::resizeWindow(std::string_view window, ImVec2 size)
{
    const std::optional<ImRect> rect = windowRect(window);
    if (!rect || !windowShown(window)) throw std::runtime_error("ui: no shown window \"" + std::string(window) + "\"");
    ImGui::SetCurrentContext(ctx);
    ImGuiIO& io = ImGui::GetIO();
    // Inside the bottom-right resize grip; grips are not items, so they are found from the window's rectangle.
    const ImVec2 grip = rect->Max - ImVec2(4.0f, 4.0f);
    io.DeltaTime = io.MouseDoubleClickTime + 0.05f;
    io.MousePos = grip;
    frame();
    io.DeltaTime = frameSeconds;
    io.MouseDown[0] = true;
    frame();
    io.MousePos = grip + (size - rect->GetSize());
    frames(2);
    const ImVec2 held = windowRect(window).value_or(ImRect()).GetSize();
    io.MouseDown[0] = false;
    frame();
    return held;
}

std::string UiDriver::clipboard() const
{
    ImGui::SetCurrentContext(ctx);
    const char* text = ImGui::GetClipboardText();
    return text ? std::string(text) : std::string();
}

void UiDriver::placeWindow(std::string_view window, ImVec2 pos)
{
    ImGui::SetCurrentContext(ctx);
    ImGui::SetWindowPos(std::string(window).c_str(), pos, ImGuiCond_Always);
    frame();
}

}  // namespace kestrel::testing
