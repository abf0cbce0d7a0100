// An in-memory registry, and the names of its roots.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/RegistryBackend.h"

// An in-memory registry: the portable system registry is one loaded from a registry file, and
// tests build one directly.
namespace qelt {

struct RegistryValue {
    std::uint32_t type = kRegSz;
    std::string data;  // string types as UTF-8, the stored NUL included when there is one
};

// The roots' names, as key paths and registry files begin with them.
inline constexpr std::string_view kLocalMachineRoot = "HKEY_LOCAL_MACHINE";
inline constexpr std::string_view kCurrentUserRoot = "HKEY_CURRENT_USER";

// A REG_DWORD value: the number's four bytes, least significant first.
RegistryValue DwordValue(std::uint32_t number);

// Keys by path ("HKEY_LOCAL_MACHINE\SOFTWARE\…", HKLM and HKCU accepted); key and value names
// case-insensitive. Each key holds only its own name, so a hive takes memory in proportion to
// the text that names its keys, however deep they nest.
class RegistryHive {
  public:
    using Values = std::map<std::string, RegistryValue>;
    using KeyId = std::size_t;

    RegistryHive();

    // Creates the key and every key above it. Nothing for a path without a known root or
    // with an empty name.
    std::optional<KeyId> CreateKey(std::string_view path);
    // Removes the key and everything below it.
    void DeleteKey(std::string_view path);
    // Creates the key when needed. "" names the default value.
    void SetValue(std::string_view keyPath, std::string_view name, RegistryValue value);
    void SetValue(KeyId key, std::string_view name, RegistryValue value);
    void DeleteValue(KeyId key, std::string_view name);

    // The values of a key, or nothing when the key does not exist. The roots always exist.
    const Values* FindKey(std::string_view path) const;
    std::optional<KeyId> FindKeyId(std::string_view path) const;
    Values& ValuesOf(KeyId key) { return keys_[key].values; }

  private:
    struct Key {
        Values values;
        std::map<std::string, KeyId, std::less<>> children;  // by lower-cased name
    };
    // Walks the path from above the roots; `create` adds missing keys. The key reached and its
    // parent, or nothing.
    std::optional<std::pair<KeyId, KeyId>> Walk(std::string_view path, bool create);

    std::vector<Key> keys_;  // keys_[0] lies above the roots
};

// Looks an environment variable up by name; nothing when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(std::string_view name)>;

// The process environment: exact name first, then without regard to case, as Windows compares.
std::optional<std::string> LookUpProcessEnvironment(std::string_view name);

// %NAME% references replaced by the variables `lookUp` knows; unknown names and an
// unterminated % stay as written.
std::string ExpandEnvironmentReferences(std::string_view text, const EnvironmentLookup& lookUp);

// ExpandEnvironmentReferences as ExpandEnvironmentStringsA answers: the characters needed with
// the NUL, and the expanded text in `destination` only when that fits `capacity`.
std::size_t ExpandEnvironmentInto(std::string_view source, std::string& destination,
                                  std::size_t capacity, const EnvironmentLookup& lookUp);

// A value of a key as RegQueryValueExA answers for it: its type and size, and its data when
// `data` is given and `size` is large enough (else kRegMoreData with the size needed).
long QueryHiveValue(const RegistryHive::Values& values, std::string_view valueName,
                    std::uint32_t& type, std::string* data, std::uint32_t& size);

// The key handles of a registry read from files: opening below a root or an open key, reading
// values through a handle, closing it. Single-threaded, as every caller is.
class FileRegistry : public RegistryBackend {
  public:
    long OpenKey(RegKeyHandle parent, std::string_view subKey, RegKeyHandle& key) final;
    long QueryValue(RegKeyHandle key, std::string_view valueName, std::uint32_t& type,
                    std::string* data, std::uint32_t& size) final;
    long CloseKey(RegKeyHandle key) final;

  protected:
    // The values of the key at `path` ("HKEY_LOCAL_MACHINE\…" or "HKEY_CURRENT_USER\…"), or
    // nothing when it does not exist.
    virtual const RegistryHive::Values* FindKey(std::string_view path) = 0;

  private:
    struct OpenedKey {
        std::string path;
        RegistryHive::Values values;
    };
    std::optional<std::string> PathOf(RegKeyHandle handle) const;

    std::map<RegKeyHandle, OpenedKey> opened_;
    RegKeyHandle nextHandle_ = 1;
};

// A registry over one hive, held for the registry's life; %NAME% expands from the process
// environment.
class HiveRegistry final : public FileRegistry {
  public:
    explicit HiveRegistry(RegistryHive hive);

    std::size_t ExpandEnvironment(std::string_view source, std::string& destination,
                                  std::size_t capacity) override;

  private:
    const RegistryHive::Values* FindKey(std::string_view path) override;

    RegistryHive hive_;
};

}  // namespace qelt
