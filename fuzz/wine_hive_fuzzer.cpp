// Wine writes its hive files, but users and scripts edit them too: whatever the bytes, reading
// a prefix's registry and looking the host up in it must neither crash nor leak nor hang.

#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "settings/RegistryBackend.h"
#include "settings/WineRegistryHive.h"
#include "settings/modQLXLib.h"

namespace {

// Of the same length in every process, so that the paths take the same course through the code
// and a run from a fixed seed repeats itself.
std::string PrefixName() {
    std::array<char, 32> name{};
    std::snprintf(name.data(), name.size(), "qelt-fuzz-wine-%010d", static_cast<int>(getpid()));
    return name.data();
}

// The prefix the inputs are written into, removed when the fuzzer ends.
struct FuzzPrefix {
    FuzzPrefix() { std::filesystem::create_directories(path); }
    ~FuzzPrefix() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    const std::filesystem::path path = std::filesystem::temp_directory_path() / PrefixName();
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const FuzzPrefix prefix;
    std::ofstream(prefix.path / "system.reg", std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    qelt::WinePrefixRegistry registry([] { return prefix.path; });
    for (const char* path : {"Software\\A", "Software\\A\\B", "Software"}) {
        qelt::RegKeyHandle key = 0;
        if (registry.OpenKey(qelt::kHKeyLocalMachine, path, key) != qelt::kRegSuccess) {
            continue;
        }
        for (const char* name : {"", "V", "x"}) {
            std::uint32_t type = 0;
            std::uint32_t needed = 0;
            if (registry.QueryValue(key, name, type, nullptr, needed) == qelt::kRegSuccess) {
                std::string value(needed, ' ');
                registry.QueryValue(key, name, type, &value, needed);
            }
        }
        registry.CloseKey(key);
    }
    const qelt::ScopedRegistryBackend scoped(registry);
    qelt::GetInstalledAppPath("QeltOne.exe");
    return 0;
}
