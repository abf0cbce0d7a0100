// Start-up lookups read from a Wine prefix, whose hives hold thousands of keys the tool never
// asks for, and the mapping of Windows file names into the prefix.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "settings/RegistryBackend.h"
#include "settings/WinePaths.h"
#include "settings/WineRegistryHive.h"
#include "settings/modQLXLib.h"

namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// A system.reg the size of a fresh prefix's (about 9,000 keys, 1.7 MB), the App Paths entry
// last, so a lookup cannot stop early.
std::string SystemHive(int keys) {
    std::string hive = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n";
    for (int i = 0; i < keys; ++i) {
        hive +=
            "[Software\\\\Classes\\\\CLSID\\\\{" + std::to_string(100000 + i) +
            "-0000-0000-C000-000000000046}\\\\InprocServer32] 1700000000\n#time=1d9e6b2a0c5e8f0\n"
            "@=\"C:\\\\windows\\\\system32\\\\component" +
            std::to_string(i) +
            ".dll\"\n\"ThreadingModel\"=\"Both\"\n\"Flags\"=dword:00000001\n"
            "\"Data\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f\n\n";
    }
    return hive +
           "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Paths\\\\QeltOne.exe] "
           "1700000000\n@=\"C:\\\\Program Files\\\\QeltOne\\\\QeltOne.exe\"\n";
}

// A prefix with a host installation: the hives, the drive link and the settings files.
struct BenchPrefix {
    BenchPrefix() {
        fs::remove_all(root);
        WriteFile(root / "system.reg", SystemHive(9000));
        WriteFile(root / "user.reg",
                  "WINE REGISTRY Version 2\n"
                  "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell "
                  "Folders] 1700000000\n\"Personal\"=\"C:\\\\users\\\\admin\\\\Documents\"\n");
        fs::create_directories(root / "dosdevices");
        fs::create_symlink("../drive_c", root / "dosdevices" / "c:");
        WriteFile(root / "drive_c" / "Program Files" / "QeltOne" / "QeltOnePaths.ini",
                  "[General]\r\nIniPath=$(MyDocuments)\\QeltOne\\\r\n");
        WriteFile(root / "drive_c" / "users" / "admin" / "Documents" / "QeltOne" / "QeltOne.ini",
                  "[General]\r\nQeltOneDataPath=C:\\Data\\\r\nQeltOneDataBase=Main.mdb\r\n");
        setenv("WINEPREFIX", root.c_str(), 1);
    }
    ~BenchPrefix() {
        unsetenv("WINEPREFIX");
        fs::remove_all(root);
    }
    const fs::path root = fs::temp_directory_path() / "qelt-bench-wine-prefix";
};

// A program's start: a registry not read before, so the hive files are indexed first.
void BM_LookUpHostSettingsFirstTime(benchmark::State& state) {
    const BenchPrefix prefix;
    for (auto _ : state) {
        qelt::WinePrefixRegistry registry(qelt::WinePrefixFolder);
        const qelt::ScopedRegistryBackend scoped(registry);
        benchmark::DoNotOptimize(qelt::LookUpHostSettings());
    }
}
BENCHMARK(BM_LookUpHostSettingsFirstTime)->Unit(benchmark::kMillisecond);

// Further lookups while the hive files stay unchanged.
void BM_LookUpHostSettingsAgain(benchmark::State& state) {
    const BenchPrefix prefix;
    qelt::WinePrefixRegistry registry(qelt::WinePrefixFolder);
    const qelt::ScopedRegistryBackend scoped(registry);
    benchmark::DoNotOptimize(qelt::LookUpHostSettings());
    for (auto _ : state) {
        benchmark::DoNotOptimize(qelt::LookUpHostSettings());
    }
}
BENCHMARK(BM_LookUpHostSettingsAgain)->Unit(benchmark::kMicrosecond);

// A user.reg holding one key nested `depth` levels deep, opened from a registry not read before.
void BM_WineHiveDeepKey(benchmark::State& state) {
    const auto root = fs::temp_directory_path() / "qelt-bench-wine-deep";
    std::string hivePath;
    std::string path;
    for (int level = 0; level < state.range(0); ++level) {
        hivePath += level == 0 ? "Level" : "\\\\Level";
        path += level == 0 ? "Level" : "\\Level";
    }
    WriteFile(root / "user.reg", "WINE REGISTRY Version 2\n[" + hivePath + "] 1\n@=\"deep\"\n");
    for (auto _ : state) {
        qelt::WinePrefixRegistry registry([&root] { return root; });
        qelt::RegKeyHandle key = 0;
        benchmark::DoNotOptimize(registry.OpenKey(qelt::kHKeyCurrentUser, path, key));
    }
    fs::remove_all(root);
}
BENCHMARK(BM_WineHiveDeepKey)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_MapWindowsFileName(benchmark::State& state) {
    const BenchPrefix prefix;
    for (auto _ : state) {
        benchmark::DoNotOptimize(qelt::MapWindowsFileName(
            "c:\\users\\ADMIN\\documents\\qeltone\\qeltone.ini", prefix.root));
    }
}
BENCHMARK(BM_MapWindowsFileName)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
