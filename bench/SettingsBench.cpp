// Start-up cost of the host settings lookups, and how the two file readers scale with size.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "settings/ProfileFile.h"
#include "settings/RegeditFile.h"
#include "settings/modQLXLib.h"

namespace {

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string RegistryFile(int extraKeys, const std::string& host) {
    std::string file = "Windows Registry Editor Version 5.00\r\n\r\n";
    for (int i = 0; i < extraKeys; ++i) {
        file += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor" + std::to_string(i) +
                "\\Product]\r\n\"InstallDir\"=\"C:\\\\Program Files\\\\P" + std::to_string(i) +
                "\"\r\n\"Flags\"=dword:00000001\r\n\r\n";
    }
    file +=
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\"
        "QeltOne.exe]\r\n@=\"" +
        host + "QeltOne.exe\"\r\n";
    return file;
}

std::string ProfileFile(int lines) {
    std::string file = "[Other]\r\n";
    for (int i = 0; i < lines; ++i) {
        file += "Key" + std::to_string(i) + "=Value " + std::to_string(i) + "\r\n";
    }
    return file + "[General]\r\nQeltOneDataBase=Main.mdb\r\n";
}

// The three start-up lookups against a registry file of realistic size (200 other keys).
void BM_LookUpHostSettings(benchmark::State& state) {
    const auto root = std::filesystem::temp_directory_path() / "qelt-bench-settings";
    const std::string host = root.string() + "/host/";
    WriteFile(root / "host.reg", RegistryFile(200, host));
    WriteFile(root / "host" / "QeltOne.ini",
              "[General]\r\nQeltOneDataPath=D:\\Data\\\r\nQeltOneDataBase=Main.mdb\r\n");
    setenv("QELT_REGISTRY", (root / "host.reg").c_str(), 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(qelt::LookUpHostSettings());
    }
    unsetenv("QELT_REGISTRY");
    std::filesystem::remove_all(root);
}
BENCHMARK(BM_LookUpHostSettings)->Unit(benchmark::kMicrosecond);

void BM_ParseRegeditFile(benchmark::State& state) {
    const std::string file = RegistryFile(static_cast<int>(state.range(0)), "C:\\Q\\");
    for (auto _ : state) {
        benchmark::DoNotOptimize(qelt::ParseRegeditFile(file));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ParseRegeditFile)->RangeMultiplier(10)->Range(10, 10000)->Complexity();

void BM_ReadProfileText(benchmark::State& state) {
    const std::string file = ProfileFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            qelt::ReadProfileText(file, "General", "QeltOneDataBase", "QeltOne.mdb", 255));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReadProfileText)->RangeMultiplier(10)->Range(10, 100000)->Complexity();

// One key nested `depth` levels deep with a value: reading it takes time and memory in
// proportion to the file.
std::string DeepKeyFile(int depth) {
    std::string path = "HKEY_LOCAL_MACHINE";
    for (int level = 0; level < depth; ++level) {
        path += "\\Level";
    }
    return "Windows Registry Editor Version 5.00\r\n\r\n[" + path + "]\r\n@=\"deep\"\r\n";
}

void BM_ParseRegeditDeepKey(benchmark::State& state) {
    const std::string file = DeepKeyFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(qelt::ParseRegeditFile(file));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ParseRegeditDeepKey)
    ->Arg(20000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

// A profile file read from disk, the key in its last line: the whole file is read and searched.
void BM_ProfileFileReader(benchmark::State& state) {
    const auto root = std::filesystem::temp_directory_path() / "qelt-bench-profile";
    const std::string file = ProfileFile(static_cast<int>(state.range(0)));
    WriteFile(root / "QeltOne.ini", file);
    qelt::ProfileFileReader reader;
    std::string value;
    for (auto _ : state) {
        benchmark::DoNotOptimize(reader.ReadProfileString("General", "QeltOneDataBase", "", value,
                                                          255, (root / "QeltOne.ini").string()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
    std::filesystem::remove_all(root);
}
BENCHMARK(BM_ProfileFileReader)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The same file as UTF-16LE with its byte-order mark, as Windows' Notepad saves it.
void BM_ProfileFileReaderUtf16(benchmark::State& state) {
    const auto root = std::filesystem::temp_directory_path() / "qelt-bench-profile-utf16";
    const std::string text = ProfileFile(static_cast<int>(state.range(0)));
    std::string file = "\xFF\xFE";
    for (const char c : text) {
        file += c;
        file += '\0';
    }
    WriteFile(root / "QeltOne.ini", file);
    qelt::ProfileFileReader reader;
    std::string value;
    for (auto _ : state) {
        benchmark::DoNotOptimize(reader.ReadProfileString("General", "QeltOneDataBase", "", value,
                                                          255, (root / "QeltOne.ini").string()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
    std::filesystem::remove_all(root);
}
BENCHMARK(BM_ProfileFileReaderUtf16)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
