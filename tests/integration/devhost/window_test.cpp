// A windowed run on a virtual display: the menu opened through the console shows in a
// screenshot.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#include <stb/stb_image.h>

#include "devhost_process.h"

namespace devhost_test {
namespace {

bool OnPath(const std::string& program)
{
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// Distinct colours in the image; a blank (cleared only) frame has one.
size_t CountColours(const std::filesystem::path& png, int& width, int& height)
{
    int channels = 0;
    unsigned char* pixels = stbi_load(png.c_str(), &width, &height, &channels, 3);
    if (!pixels) return 0;
    std::set<unsigned> colours;
    for (size_t i = 0; i < static_cast<size_t>(width) * static_cast<size_t>(height) * 3 && colours.size() < 64; i += 3)
        colours.insert(pixels[i] << 16 | pixels[i + 1] << 8 | pixels[i + 2]);
    stbi_image_free(pixels);
    return colours.size();
}

TEST(DevhostWindow, ScreenshotShowsTheOpenedMenu)
{
    if (!OnPath("xvfb-run")) GTEST_SKIP() << "xvfb-run is not installed (package xvfb): no virtual display";
    TempDir dir;
    const auto closedShot = dir.path() / "closed.png";
    const auto openShot = dir.path() / "open.png";
    const auto script = dir.path() / "window.txt";
    std::ofstream(script) << "frames 5\nscreenshot " << closedShot.string() << "\ntogglemenu matchbay\nframes 10\n"
                          << "screenshot " << openShot.string() << "\n";
    ChildProcess host({"/usr/bin/env", "xvfb-run", "-a", "-s", "-screen 0 1280x800x24", KESTREL_DEVHOST_PATH,
                       "--data-dir", (dir.path() / "data").string(), "--listen-port",
                       std::to_string(FreePort(true)), "--size", "800x600", "--script", script.string()},
                      // The software GL driver is not built for the sanitizers: its own
                      // allocations and threads are left out. The headless tests cover the host.
                      {"ASAN_OPTIONS=detect_leaks=0",
                       "TSAN_OPTIONS=halt_on_error=1 suppressions=" KESTREL_DEVHOST_TEST_DIR "/gl_driver.tsan.supp"});
    auto status = host.wait(120s);
    ASSERT_EQ(status, 0) << host.output();
    ASSERT_EQ(host.output().find("running headless instead"), std::string::npos) << host.output();

    int width = 0, height = 0;
    const size_t closedColours = CountColours(closedShot, width, height);
    ASSERT_GT(closedColours, 0u) << "no PNG written\n" << host.output();
    const size_t openColours = CountColours(openShot, width, height);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);
    // The plugin's window brings its frame, title bar, tabs and text.
    EXPECT_GT(openColours, 8u);
    EXPECT_GT(openColours, closedColours);
}

} // namespace
} // namespace devhost_test
