// Id paths name the ids that the widgets really use.
#include <gtest/gtest.h>

#include "ui_driver.h"
#include "ui_fixtures.h"
#include "ui_input.h"
#include "ui_path.h"

namespace kestrel::testing {
namespace {

TEST(IdPathSyntax, SplitsEscapesAndNumbers)
{
    const auto segments = ui::ParseIdPath("A\\/B/@-3/\\@7/x\\\\y");
    ASSERT_TRUE(segments);
    ASSERT_EQ(segments->size(), 4u);
    EXPECT_EQ((*segments)[0].text, "A/B");
    EXPECT_EQ((*segments)[1].number, -3);
    EXPECT_FALSE((*segments)[2].number);
    EXPECT_EQ((*segments)[2].text, "@7");
    EXPECT_EQ((*segments)[3].text, "x\\y");

    for (const char* bad : {"", "a//b", "a/", "/a", "a\\", "a/@", "a/@1x", "a\\q"}) {
        EXPECT_FALSE(ui::ParseIdPath(bad)) << bad;
    }
    EXPECT_EQ(ui::JoinIdPath({"A/B", "@7"}), "A\\/B/\\@7");
    EXPECT_EQ(ui::ParseIdPath(ui::JoinIdPath({"A/B", "@7"}))->at(1).text, "@7");
}

TEST_F(OpenMenu, PathsResolveToTheIdsTheWidgetsSubmit)
{
    // Found by label and by path: the same item.
    EXPECT_EQ(ui.get("Host Lan").id, ui::ResolveIdPath("Kestrel - V1.2.0/Tabs/Host Lan")->id);
    const UiItem close = ui.get("Kestrel - V1.2.0/#CLOSE");
    EXPECT_EQ(close.window, mainWindow);
}

TEST(IdPathResolution, EntersChildRegionsAndNumberedIds)
{
    UiDriver ui([] {
        ImGui::Begin("Outer");
        ImGui::BeginChild("#Region", ImVec2(200, 100));
        ImGui::PushID(30);
        ImGui::Button("Same");
        ImGui::PopID();
        ImGui::PushID(31);
        ImGui::Button("Same");
        ImGui::PopID();
        ImGui::EndChild();
        ImGui::End();
    });
    ui.frames(2);
    ASSERT_EQ(ui.findAll("Same").size(), 2u);
    const auto resolved = ui::ResolveIdPath("Outer/#Region/@31/Same");
    ASSERT_TRUE(resolved);
    EXPECT_NE(resolved->window, nullptr);
    const std::vector<UiItem> found = ui.findAll("Outer/#Region/@31/Same");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].id, ui.findAll("Same")[1].id);
    EXPECT_EQ(found[0].window, resolved->windowName);

    // The path is what ActivateItem needs to press an item without the mouse.
    int presses = 0;
    UiDriver pressed([&] {
        ImGui::Begin("Outer");
        if (ImGui::Button("Go")) ++presses;
        ImGui::End();
    });
    pressed.frame();
    ImGui::ActivateItem(ui::ResolveIdPath("Outer/Go")->id);
    pressed.frames(2);
    EXPECT_EQ(presses, 1);
}

TEST(TypedText, OnlyWellFormedUtf8IsTyped)
{
    EXPECT_EQ(ui::DecodeUtf8("a\xc3\xa9\xe2\x82\xac\xf0\x9f\x8f\x86"),
              (std::vector<char32_t>{U'a', U'\u00e9', U'\u20ac', U'\U0001f3c6'}));
    EXPECT_EQ(ui::DecodeUtf8(""), std::vector<char32_t>{});
    for (const char* bad : {"ends in a lead \xe0", "\xe2\x82", "\xf0\x9f\x8f", "stray \x80", "overlong \xc0\xaf",
                            "surrogate \xed\xa0\x80", "past the range \xf4\x90\x80\x80", "\xff"}) {
        EXPECT_FALSE(ui::DecodeUtf8(bad)) << bad;
    }
    UiDriver ui([] {});
    EXPECT_THROW(ui.typeText("\xe0"), std::invalid_argument);
}

}  // namespace
}  // namespace kestrel::testing
