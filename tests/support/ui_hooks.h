#pragma once
// What the test copy of ImGui reports to the UI driver: its item hooks and failed assertions.
#include <stdexcept>
#include <string>

#include <imgui.h>
#include <imgui_internal.h>

namespace kestrel::testing {

// Thrown by a failed IM_ASSERT in the test copy of ImGui.
class ImGuiAssertion : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// Receives the item hooks of the context whose TestEngine pointer it is.
class UiHookSink {
public:
    virtual void itemAdded(const ImRect& navRect, ImGuiID id) = 0;
    virtual void itemInfo(ImGuiID id, const char* label, ImGuiItemStatusFlags flags) = 0;
    virtual const char* itemLabel(ImGuiID id) const = 0;

protected:
    ~UiHookSink() = default;
};

// Routes a context's hooks to sink (nullptr stops them).
void AttachUiHooks(ImGuiContext& context, UiHookSink* sink);

}  // namespace kestrel::testing
