// The custom map installer over a large mods tree, beside a bare walk of the same tree.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "hosting/custom_map_installer.h"
#include "ratio_reporter.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPackages = 5000;

// <root>/Binaries/Win64 and 5,000 .upk packages spread over nested folders of mods.
struct GameTree {
    fs::path root = fs::temp_directory_path() / ("kestrel-bench-mods-" + std::to_string(getpid()));
    fs::path workingDirectory = root / "Binaries" / "Win64";
    fs::path mods = root / "TAGame" / "CookedPCConsole" / "mods";

    GameTree()
    {
        fs::remove_all(root);
        fs::create_directories(workingDirectory);
        for (int i = 0; i < kPackages; ++i) {
            fs::path folder = mods / ("pack" + std::to_string(i % 50)) / ("set" + std::to_string(i % 7));
            fs::create_directories(folder);
            std::ofstream(folder / ("Map" + std::to_string(i) + ".upk")) << "package";
        }
    }
    ~GameTree() { fs::remove_all(root); }
};

GameTree& Tree()
{
    static GameTree tree;
    return tree;
}

void BM_InstallCustomMaps(benchmark::State& state)
{
    GameTree& tree = Tree();
    std::ostringstream out;
    std::ostringstream err;
    for (auto _ : state) {
        auto names = hosting::InstallCustomMaps(tree.workingDirectory, out, err);
        benchmark::DoNotOptimize(names);
        out.str("");
    }
    state.SetItemsProcessed(state.iterations() * kPackages);
}

void BM_PlainRecursiveWalk(benchmark::State& state)
{
    GameTree& tree = Tree();
    for (auto _ : state) {
        std::size_t files = 0;
        for (const auto& entry : fs::recursive_directory_iterator(tree.mods))
            files += entry.is_regular_file() ? 1 : 0;
        benchmark::DoNotOptimize(files);
    }
    state.SetItemsProcessed(state.iterations() * kPackages);
}

BENCHMARK(BM_PlainRecursiveWalk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InstallCustomMaps)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) { return kestrel::bench::RunWithRatios(argc, argv, "BM_PlainRecursiveWalk"); }
