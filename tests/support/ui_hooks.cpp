// The hook functions that ImGui built with IMGUI_ENABLE_TEST_ENGINE calls. Compiled into that ImGui copy.
#include "ui_hooks.h"

namespace kestrel::testing {

void FailImGuiAssertion(const char* expression, const char* file, int line)
{
    throw ImGuiAssertion(std::string("IM_ASSERT(") + expression + ") failed at " + file + ":" + std::to_string(line));
}

void AttachUiHooks(ImGuiContext& context, UiHookSink* sink)
{
    context.TestEngine = sink;
    context.TestEngineHookItems = sink != nullptr;
}

}  // namespace kestrel::testing

namespace {
kestrel::testing::UiHookSink* SinkOf(ImGuiContext* context)
{
    return context ? static_cast<kestrel::testing::UiHookSink*>(context->TestEngine) : nullptr;
}
}  // namespace

void ImGuiTestEngineHook_ItemAdd(ImGuiContext* context, const ImRect& bb, ImGuiID id)
{
    if (auto* sink = SinkOf(context)) sink->itemAdded(bb, id);
}

void ImGuiTestEngineHook_ItemInfo(ImGuiContext* context, ImGuiID id, const char* label, ImGuiItemStatusFlags flags)
{
    if (auto* sink = SinkOf(context)) sink->itemInfo(id, label, flags);
}

void ImGuiTestEngineHook_Log(ImGuiContext*, const char*, ...) {}

const char* ImGuiTestEngine_FindItemDebugLabel(ImGuiContext* context, ImGuiID id)
{
    auto* sink = SinkOf(context);
    return sink ? sink->itemLabel(id) : nullptr;
}
