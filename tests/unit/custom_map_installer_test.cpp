// The custom map installer on real folders laid out like the game's.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#endif

#include "fake_host.h"
#include "hosting/custom_map_installer.h"
#include "plugin/logging.h"

namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;

// The standard output stream shows paths quoted, with backslashes and quotes escaped.
std::string Quoted(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

struct GameFolder : ::testing::Test {
    kestrel::testing::FakeHost host;
    fs::path root;
    fs::path workingDirectory;
    fs::path mods;
    std::ostringstream out;
    std::ostringstream err;

    void SetUp() override
    {
        globalCvarManager = host.cvarManager;
        root = fs::temp_directory_path() / ("kestrel-maps-" + std::to_string(std::random_device{}()));
        workingDirectory = root / "Binaries" / "Win64";
        mods = root / "TAGame" / "CookedPCConsole" / "mods";
        fs::create_directories(workingDirectory);
        fs::create_directories(mods);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    static void Write(const fs::path& file, const std::string& content = "package")
    {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << content;
    }
    static std::string Read(const fs::path& file)
    {
        std::ifstream in(file);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<std::string> Install() { return hosting::InstallCustomMaps(workingDirectory, out, err); }
};

TEST_F(GameFolder, LoneUdkBecomesUpkAndIsListed)
{
    Write(mods / "Map.udk");
    EXPECT_THAT(Install(), ElementsAre("Map"));
    EXPECT_FALSE(fs::exists(mods / "Map.udk"));
    EXPECT_TRUE(fs::exists(mods / "Map.upk"));
    const fs::path canonicalMods = fs::canonical(mods);
    EXPECT_THAT(host.console.lines(),
                ElementsAre("Current Working Directory: " + workingDirectory.string(),
                            "Target Directory: " + canonicalMods.string(),
                            "Renamed " + (canonicalMods / "Map.udk").string() + " to " +
                                (canonicalMods / "Map.upk").string()));
    EXPECT_EQ(out.str(), "Current Working Directory: " + Quoted(workingDirectory.string()) +
                             "\nTarget Directory: " + Quoted(canonicalMods.string()) + "\n");
    EXPECT_EQ(err.str(), "");

    // A second load finds the moved package as it is.
    host.console.clearLines();
    EXPECT_THAT(Install(), ElementsAre("Map"));
    EXPECT_EQ(host.console.lines().size(), 2u);
}

TEST_F(GameFolder, UdkReplacesUpkOfTheSameName)
{
    Write(mods / "Map.udk", "new");
    Write(mods / "Map.upk", "old");
    EXPECT_THAT(Install(), ElementsAre("Map", "Map"));
    EXPECT_EQ(Read(mods / "Map.upk"), "new");
    EXPECT_FALSE(fs::exists(mods / "Map.udk"));
}

TEST_F(GameFolder, NamesDropOnlyTheLastExtensionAndTheFolders)
{
    Write(mods / "My.Map.upk");
    Write(mods / "Pack" / "Deep" / "Nested.upk");
    Write(mods / "Pack" / "Other.udk");
    Write(mods / "readme.txt");
    Write(mods / "Shouting.UPK");
    Write(mods / "Mixed.Udk");
    fs::create_directories(mods / "Folder.upk");
    EXPECT_THAT(Install(), UnorderedElementsAre("My.Map", "Nested", "Other"));
    EXPECT_TRUE(fs::exists(mods / "Pack" / "Other.upk"));
    EXPECT_TRUE(fs::exists(mods / "Shouting.UPK"));
    EXPECT_TRUE(fs::exists(mods / "Mixed.Udk"));
}

TEST_F(GameFolder, NamesOutsideAsciiKeepTheirFileAndNeverTurnIntoLookAlikes)
{
    const std::u8string lodz = u8"\u0141\u00f3d\u017a"; // Łódź
    Write(mods / (lodz + u8".udk"));
    const std::vector<std::string> names = Install();
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(fs::exists(mods / (lodz + u8".upk")));
    EXPECT_EQ(err.str(), "");
#ifdef _WIN32
    // The active code page decides; a character it lacks shows as '?', never as a look-alike
    // ("Lodz" would name a file that does not exist).
    if (GetACP() == CP_UTF8) {
        EXPECT_EQ(names[0], std::string(lodz.begin(), lodz.end()));
    } else if (GetACP() == 1252) {
        EXPECT_EQ(names[0], "?\xf3" "d?");
    } else {
        EXPECT_NE(names[0], "Lodz");
    }
#else
    EXPECT_EQ(names[0], std::string(lodz.begin(), lodz.end()));
#endif
}

TEST_F(GameFolder, NoPackagesGivesTheSingleEntry)
{
    Write(mods / "notes.txt");
    EXPECT_THAT(Install(), ElementsAre("No custom maps"));
    EXPECT_EQ(host.console.lines().size(), 2u);
    EXPECT_EQ(err.str(), "");
}

TEST_F(GameFolder, MissingModsFolderIsReported)
{
    fs::remove_all(mods);
    EXPECT_THAT(Install(), ElementsAre("No custom maps"));
    EXPECT_THAT(err.str(), ::testing::StartsWith("Error: "));
    auto lines = host.console.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_THAT(lines[1], ::testing::StartsWith("Error: "));
    EXPECT_EQ(lines[1] + "\n", err.str());
}

TEST_F(GameFolder, FailedMoveStillListsThePackage)
{
    Write(mods / "Blocked.udk");
    fs::create_directories(mods / "Blocked.upk" / "inside"); // a non-empty folder cannot be replaced by a file
    EXPECT_THAT(Install(), ElementsAre("Blocked"));
    EXPECT_TRUE(fs::exists(mods / "Blocked.udk"));
    EXPECT_THAT(err.str(), ::testing::StartsWith("Failed to rename: "));
    EXPECT_THAT(host.console.lines().back(), ::testing::StartsWith("Failed to rename: "));
    EXPECT_THAT(host.console.lines().back(), HasSubstr("Blocked"));
}

} // namespace
