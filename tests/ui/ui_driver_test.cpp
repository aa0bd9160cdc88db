// A frame that breaks ImGui's rules fails the test and leaves the driver usable.
#include <gtest/gtest.h>

#include "ui_driver.h"

namespace kestrel::testing {
namespace {

TEST(UiDriverAssertions, BrokenFrameThrowsAndTheNextFrameRuns)
{
    int mode = 0;
    UiDriver ui([&] {
        ImGui::Begin("Window");
        ImGui::Text("fine");
        if (mode == 1) ImGui::PopID();  // nothing pushed
        if (mode != 2) ImGui::End();    // mode 2 forgets End
    });
    ui.frame();
    mode = 1;
    EXPECT_THROW(ui.frame(), ImGuiAssertion);
    mode = 2;
    EXPECT_THROW(ui.frame(), ImGuiAssertion);
    mode = 0;
    ui.frames(2);
    EXPECT_TRUE(ui.textShown("fine", "Window"));
}

}  // namespace
}  // namespace kestrel::testing
