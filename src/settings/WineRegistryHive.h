#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "settings/RegistryBackend.h"
#include "settings/RegistryHive.h"

// The registry of a Wine prefix, read from Wine's own hive files without Wine: system.reg as
// HKEY_LOCAL_MACHINE and user.reg as HKEY_CURRENT_USER ("WINE REGISTRY Version 2"). Strings may
// be escaped (\\, \", \n, octal, \x) or plain UTF-8; "text", str(N):"text", dword:, hex: and
// hex(N): with continuation lines are read; string types come back as UTF-8 with their stored
// NUL. Lines that do not parse are skipped; a missing file or one of another format is an empty
// root.
namespace qelt {

class WinePrefixRegistry final : public RegistryBackend {
  public:
    using PrefixSource = std::function<std::filesystem::path()>;

    // `prefix` names the prefix anew at every lookup (the system registry passes
    // WinePrefixFolder: $WINEPREFIX, else ~/.wine).
    explicit WinePrefixRegistry(PrefixSource prefix);

    long OpenKey(RegKeyHandle parent, std::string_view subKey, RegKeyHandle& key) override;
    long QueryValue(RegKeyHandle key, std::string_view valueName, std::uint32_t& type,
                    std::string* data, std::uint32_t& size) override;
    long CloseKey(RegKeyHandle key) override;
    std::size_t ExpandEnvironment(std::string_view source, std::string& destination,
                                  std::size_t capacity) override;

  private:
    // One hive file as last read. A hive holds thousands of keys and a lookup wants one, so the
    // file is only indexed (key → its lines) and read again only when it changed on disk; the
    // values of a key are parsed when it is opened.
    struct HiveFile {
        std::filesystem::path path;
        std::filesystem::file_time_type modified{};
        std::uintmax_t bytes = 0;
        std::string text;
        std::unordered_map<std::string, std::vector<std::pair<std::size_t, std::size_t>>> keys;

        // Reads the file again when it changed since the last read; a missing file or one of
        // another format leaves no keys.
        void Refresh(const std::filesystem::path& file);
    };
    struct OpenedKey {
        std::string path;
        RegistryHive::Values values;
    };

    // The values of a key ("HKEY_LOCAL_MACHINE\…"), or nothing when it does not exist.
    std::optional<RegistryHive::Values> ReadKey(const std::string& path);

    PrefixSource prefix_;
    std::mutex mutex_;
    HiveFile machine_;
    HiveFile user_;
    std::map<RegKeyHandle, OpenedKey> opened_;
    RegKeyHandle nextHandle_ = 1;
};

}  // namespace qelt
