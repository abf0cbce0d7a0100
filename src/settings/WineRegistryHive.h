// The registry of a Wine prefix, read from Wine's own hive files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
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

class WinePrefixRegistry final : public FileRegistry {
  public:
    using PrefixSource = std::function<std::filesystem::path()>;

    // `prefix` names the prefix (the system registry passes WinePrefixFolder: $WINEPREFIX, else
    // ~/.wine). Each hive file is read once, when a key of its root is first asked for; another
    // prefix is read anew.
    explicit WinePrefixRegistry(PrefixSource prefix);

    // %NAME% from the environment Wine gives programs in the prefix.
    std::size_t ExpandEnvironment(std::string_view source, std::string& destination,
                                  std::size_t capacity) override;

  private:
    // One hive file as read. A hive holds thousands of keys and a lookup wants a few, so the
    // file is only indexed (key → its lines); a key's values are parsed when it is first opened.
    struct HiveFile {
        bool loaded = false;
        std::filesystem::path path;
        std::string text;
        RegistryHive keys;
        std::unordered_map<RegistryHive::KeyId, std::vector<std::pair<std::size_t, std::size_t>>>
            unparsed;

        // Reads the file under the root's name unless it was read already; a missing file, one
        // that is not a regular file or one of another format leaves no keys.
        void Load(const std::filesystem::path& file, std::string_view root);
        const RegistryHive::Values* FindKey(std::string_view keyPath);
    };
    struct Environment {
        std::filesystem::path prefix;
        std::map<std::string, std::string> variables;  // by lower-cased name
    };

    const RegistryHive::Values* FindKey(std::string_view path) override;
    const Environment& WineEnvironment();
    void SetRegistryFolders(std::map<std::string, std::string>& variables);
    void SetEnvironmentKeys(std::map<std::string, std::string>& variables);
    static std::optional<std::string> Lookup(const std::map<std::string, std::string>& variables,
                                             std::string_view name);

    PrefixSource prefix_;
    HiveFile machine_;
    HiveFile user_;
    std::optional<Environment> environment_;
};

}  // namespace qelt
