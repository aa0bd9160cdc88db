#pragma once
// Drives real ImGui widgets headless: runs frames of a draw function in a context of its own, records every item
// through the test-engine hooks, reads the text the frame drew and injects mouse and keyboard input.
//
// Queries look at the last frame. An item query is either an id path (see ui_path.h; anything with an unescaped
// '/') or a single name that matches an item's label, the label's visible part, or its hidden id ("##Foo",
// "#CLOSE") hashed with the id stack the item was submitted under.
// Input goes through ImGuiIO as a user's would: a click is a hover frame, a press frame and a release frame, and
// fails when the item is not the one under the mouse (covered by another window, blocked by a popup).
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ui_hooks.h"
#include "ui_text.h"

namespace kestrel::testing {

struct UiItem {
    ImGuiID id = 0;
    ImRect rect;                      // the clickable frame
    ImRect clipRect;                  // its window's clip rectangle when it was submitted
    ImGuiID seed = 0;                 // top of the id stack when it was submitted
    ImGuiID windowId = 0;
    std::string window;               // the window it was drawn in (child regions by their full window name)
    std::string label;                // as given to the widget; empty for items that report none (combos, children)
    ImGuiItemStatusFlags status = 0;  // ImGuiItemStatusFlags_*, including Openable/Opened/Checkable/Checked
    bool shown = false;               // its window is visible and it lies at least partly inside the clip rectangle

    bool open() const { return (status & ImGuiItemStatusFlags_Opened) != 0; }
    std::string visibleLabel() const;  // label up to "##"
};

// One run of text as drawn (see ui_text.h).
using UiText = ui::DrawnText;

class UiDriver : private UiHookSink {
public:
    explicit UiDriver(std::function<void()> draw, ImVec2 displaySize = ImVec2(1600.0f, 1000.0f));
    ~UiDriver();
    UiDriver(const UiDriver&) = delete;
    UiDriver& operator=(const UiDriver&) = delete;

    // One frame: NewFrame, draw, Render. An ImGuiAssertion from the frame is rethrown after the frame is recovered.
    void frame();
    void frames(int count);
    // Runs frames until done() holds after one, at most maxFrames; returns whether it held.
    bool frameUntil(const std::function<bool()>& done, int maxFrames = 10);
    // For conditions another thread brings about: counts wall time, not frames, since a loaded
    // machine may not schedule that thread for hundreds of fast headless frames.
    bool frameUntilWithin(const std::function<bool()>& done,
                          std::chrono::milliseconds limit = std::chrono::seconds(10));
    ImGuiContext* context() const { return ctx; }

    // Items of the last frame.
    std::vector<UiItem> findAll(std::string_view query) const;
    std::vector<UiItem> itemsIn(std::string_view window) const;  // in draw order, the window's child regions too
    std::optional<UiItem> find(std::string_view query) const;     // a shown match first
    UiItem get(std::string_view query) const;                     // the only shown match, else throws
    bool itemShown(std::string_view query) const;

    // Windows, by the name given to Begin (child regions by their full name).
    bool windowShown(std::string_view name) const;
    std::optional<ImRect> windowRect(std::string_view name) const;
    // The window of a combo's open drop-down, when it is open.
    std::optional<std::string> comboPopup(std::string_view comboQuery) const;

    // Text drawn in the last frame, in drawing order; with a window name, only that window and its children.
    std::vector<UiText> texts(std::string_view window = {}) const;
    std::vector<std::string> textLines(std::string_view window = {}) const;
    bool textShown(std::string_view text, std::string_view window = {}) const;  // a run containing text
    // What a widget put on ImGui's clipboard (the context's own, as a headless host has it).
    std::string clipboard() const;

    // Input.
    void moveMouse(ImVec2 pos);  // runs a frame with the mouse there
    // Turns the mouse wheel over the window around the item until the item is wholly shown, down first, then up;
    // throws when it never is. Rows a list clipper leaves out are found only by an id path. click() and the
    // combo helpers do this first, as a person scrolls to what they want to click.
    void scrollTo(std::string_view query);
    void click(std::string_view query);
    void click(const UiItem& item);
    void clickAt(ImVec2 pos);  // wherever it lands, e.g. on empty space to close a drop-down
    void typeText(std::string_view text);
    void pressKey(ImGuiKey key);
    std::string openCombo(std::string_view comboQuery);  // returns the drop-down's window name
    void pickComboEntry(std::string_view comboQuery, std::string_view entry);
    void openHeader(std::string_view headerQuery);
    void closeWindow(std::string_view window);
    // Drags the bottom-right corner so the window would get this size; returns the size it had while the mouse
    // was still held there.
    ImVec2 resizeWindow(std::string_view window, ImVec2 size);
    // Test setup, not user input: places a window so others don't cover it.
    void placeWindow(std::string_view window, ImVec2 pos);

private:
    void itemAdded(const ImRect& navRect, ImGuiID id) override;
    void itemInfo(ImGuiID id, const char* label, ImGuiItemStatusFlags flags) override;
    const char* itemLabel(ImGuiID id) const override;

    void hoverForClick(ImVec2 pos);
    // Wheels over scroller until shown() holds after a frame; whether it did.
    bool wheelUntil(ImGuiWindow* scroller, const std::function<bool()>& shown);
    void pressAndRelease();
    bool matches(const UiItem& item, std::string_view name) const;
    UiItem waitUntilStable(ImGuiID id, const std::string& what);
    void finishFrameRecords();
    ImGuiWindow* windowNamed(std::string_view name) const;

    ImGuiContext* ctx = nullptr;
    std::function<void()> draw;
    std::vector<UiItem> building;                     // items of the frame in progress
    std::unordered_map<ImGuiID, std::size_t> latest;  // id -> last record of that id in building
    std::vector<UiItem> items;                        // items of the last finished frame, one per id
    std::unordered_map<ImGuiID, ImRect> previousRects;
    mutable std::vector<UiText> textCache;
    mutable int textCacheFrame = -1;
    int frameNumber = 0;
};

}  // namespace kestrel::testing
