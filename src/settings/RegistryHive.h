#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "settings/RegistryBackend.h"

// An in-memory registry: the portable system registry is one loaded from a registry file, and
// tests build one directly.
namespace qelt {

struct RegistryValue {
    std::uint32_t type = kRegSz;
    std::string data;  // string types as UTF-8, the stored NUL included when there is one
};

// Keys by full path ("HKEY_LOCAL_MACHINE\SOFTWARE\…"); key and value names case-insensitive.
class RegistryHive {
  public:
    using Values = std::map<std::string, RegistryValue>;

    // Creates the key and every key above it. False for a path without a known root.
    bool AddKey(std::string_view path);
    // Removes the key and everything below it.
    void DeleteKey(std::string_view path);
    // Creates the key when needed. "" names the default value.
    void SetValue(std::string_view keyPath, std::string_view name, RegistryValue value);
    void DeleteValue(std::string_view keyPath, std::string_view name);

    // The values of a key, or nothing when the key does not exist. The roots always exist.
    const Values* FindKey(std::string_view path) const;

    // The form keys are filed under, "hkey_local_machine\software\…": root spelled out (HKLM and
    // HKCU accepted), names lower-cased; nothing for an unknown root or an empty name.
    static std::optional<std::string> CanonicalPath(std::string_view path);

  private:
    std::map<std::string, Values> keys_;
};

// ExpandEnvironmentReferences as ExpandEnvironmentStringsA answers: the characters needed with
// the NUL, and the expanded text in `destination` only when that fits `capacity`.
std::size_t ExpandEnvironmentInto(std::string_view source, std::string& destination,
                                  std::size_t capacity);

// A value of a key as RegQueryValueExA answers for it: its type and size, and its data when
// `data` is given and `size` is large enough (else kRegMoreData with the size needed).
long QueryHiveValue(const RegistryHive::Values& values, std::string_view valueName,
                    std::uint32_t& type, std::string* data, std::uint32_t& size);

// %NAME% references replaced from the process environment (names compared without regard to
// case when no exact match exists); unknown names and an unterminated % stay as written.
std::string ExpandEnvironmentReferences(std::string_view text);

// A RegistryBackend over a hive that `load` supplies anew at every OpenKey, so that a registry
// file is read as it is at the time of the lookup.
class HiveRegistry final : public RegistryBackend {
  public:
    using Loader = std::function<RegistryHive()>;
    explicit HiveRegistry(Loader load);

    long OpenKey(RegKeyHandle parent, std::string_view subKey, RegKeyHandle& key) override;
    long QueryValue(RegKeyHandle key, std::string_view valueName, std::uint32_t& type,
                    std::string* data, std::uint32_t& size) override;
    long CloseKey(RegKeyHandle key) override;
    std::size_t ExpandEnvironment(std::string_view source, std::string& destination,
                                  std::size_t capacity) override;

  private:
    struct OpenedKey {
        std::string path;
        RegistryHive::Values values;
    };
    std::optional<OpenedKey> Open(RegKeyHandle handle);

    Loader load_;
    std::mutex mutex_;
    std::map<RegKeyHandle, OpenedKey> opened_;
    RegKeyHandle nextHandle_ = 1;
};

}  // namespace qelt
