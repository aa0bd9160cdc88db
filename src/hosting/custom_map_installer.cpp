#include "hosting/custom_map_installer.h"

#include <iomanip>

#include "hosting/custom_map_names.h"
#include "platform/narrow_name.h"
#include "plugin/logging.h"

namespace hosting {

namespace fs = std::filesystem;

namespace {

constexpr const char* kNoCustomMaps = noCustomMapsEntry;

bool IsPackage(const fs::directory_entry& entry)
{
    std::error_code error;
    if (!entry.is_regular_file(error)) return false;
    const fs::path extension = entry.path().extension();
    return extension == ".upk" || extension == ".udk";
}

void Report(std::ostream& stream, const std::string& text)
{
    stream << text << '\n';
    LogLine(text);
}

// Renames Map.udk to Map.upk, replacing a Map.upk already there.
void MoveToPackageExtension(const fs::path& from, std::ostream& err)
{
    fs::path to = from;
    to.replace_extension(".upk");
    try {
        fs::rename(from, to);
        LogLine("Renamed " + platform::NarrowName(from) + " to " + platform::NarrowName(to));
    } catch (const fs::filesystem_error& error) {
        Report(err, std::string("Failed to rename: ") + error.what());
    }
}

} // namespace

std::vector<std::string> InstallCustomMaps(const fs::path& workingDirectory, std::ostream& out, std::ostream& err)
{
    std::vector<std::string> names;
    // The console shows the path quoted, in the code page's characters: printing the path
    // object itself would throw on Windows for a character the code page lacks.
    out << "Current Working Directory: " << std::quoted(platform::NarrowName(workingDirectory)) << '\n';
    LogLine("Current Working Directory: " + platform::NarrowName(workingDirectory));

    // The walk finishes before any file is moved: renaming inside a folder that is being
    // read may or may not show the new name again, so the listing would depend on chance.
    std::vector<fs::path> packages;
    bool failed = false;
    try {
        const fs::path target = fs::canonical(workingDirectory / ".." / ".." / "TAGame" / "CookedPCConsole" / "mods");
        out << "Target Directory: " << std::quoted(platform::NarrowName(target)) << '\n';
        LogLine("Target Directory: " + platform::NarrowName(target));
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(target)) {
            if (IsPackage(entry)) packages.push_back(entry.path());
        }
    } catch (const fs::filesystem_error& error) {
        Report(err, std::string("Error: ") + error.what());
        failed = true;
    }

    for (const fs::path& package : packages) {
        if (package.extension() == ".udk") MoveToPackageExtension(package, err);
        names.push_back(platform::NarrowName(package.stem()));
    }
    if (failed || names.empty()) names.push_back(kNoCustomMaps);
    return names;
}

} // namespace hosting
