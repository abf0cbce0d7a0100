#include "settings/RegistryHive.h"

#include <array>
#include <cstdlib>
#include <utility>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "settings/FuncLib.h"

namespace qelt {

namespace {

constexpr std::string_view kLocalMachine = "hkey_local_machine";
constexpr std::string_view kCurrentUser = "hkey_current_user";

std::optional<std::string_view> RootName(RegKeyHandle handle) {
    if (handle == kHKeyLocalMachine) {
        return kLocalMachine;
    }
    if (handle == kHKeyCurrentUser) {
        return kCurrentUser;
    }
    return std::nullopt;
}

std::optional<std::string> LookUpEnvironment(std::string_view name) {
    if (name.empty() || name.find('=') != std::string_view::npos) {
        return std::nullopt;
    }
    const std::string wanted(name);
    if (const char* value = std::getenv(wanted.c_str())) {
        return value;
    }
#ifndef _WIN32
    // Windows compares variable names without regard to case.
    const std::string lowerWanted = LowerAscii(wanted);
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string_view assignment(*entry);
        const auto equals = assignment.find('=');
        if (equals != std::string_view::npos &&
            LowerAscii(assignment.substr(0, equals)) == lowerWanted) {
            return std::string(assignment.substr(equals + 1));
        }
    }
#endif
    return std::nullopt;
}

}  // namespace

std::optional<std::string> RegistryHive::CanonicalPath(std::string_view path) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 8> kRoots{{
        {"hkey_local_machine", kLocalMachine},
        {"hklm", kLocalMachine},
        {"hkey_current_user", kCurrentUser},
        {"hkcu", kCurrentUser},
        {"hkey_classes_root", "hkey_classes_root"},
        {"hkcr", "hkey_classes_root"},
        {"hkey_users", "hkey_users"},
        {"hkey_current_config", "hkey_current_config"},
    }};
    const std::string lower = LowerAscii(path);
    const auto firstSeparator = lower.find('\\');
    const std::string_view root = std::string_view(lower).substr(0, firstSeparator);
    std::string canonical;
    for (const auto& [alias, name] : kRoots) {
        if (root == alias) {
            canonical = name;
        }
    }
    if (canonical.empty()) {
        return std::nullopt;
    }
    if (firstSeparator == std::string::npos) {
        return canonical;
    }
    std::string_view rest = std::string_view(lower).substr(firstSeparator + 1);
    while (true) {
        const auto separator = rest.find('\\');
        const std::string_view name = rest.substr(0, separator);
        if (name.empty()) {
            return std::nullopt;
        }
        canonical += '\\';
        canonical += name;
        if (separator == std::string_view::npos) {
            return canonical;
        }
        rest.remove_prefix(separator + 1);
    }
}

bool RegistryHive::AddKey(std::string_view path) {
    const auto canonical = CanonicalPath(path);
    if (!canonical) {
        return false;
    }
    for (auto separator = canonical->find('\\'); separator != std::string::npos;
         separator = canonical->find('\\', separator + 1)) {
        keys_.try_emplace(canonical->substr(0, separator));
    }
    keys_.try_emplace(*canonical);
    return true;
}

void RegistryHive::DeleteKey(std::string_view path) {
    const auto canonical = CanonicalPath(path);
    if (!canonical) {
        return;
    }
    const std::string below = *canonical + '\\';
    for (auto it = keys_.lower_bound(*canonical); it != keys_.end();) {
        if (it->first != *canonical && !it->first.starts_with(below)) {
            break;
        }
        it = keys_.erase(it);
    }
}

void RegistryHive::SetValue(std::string_view keyPath, std::string_view name, RegistryValue value) {
    if (!AddKey(keyPath)) {
        return;
    }
    keys_[*CanonicalPath(keyPath)][LowerAscii(name)] = std::move(value);
}

void RegistryHive::DeleteValue(std::string_view keyPath, std::string_view name) {
    if (const auto canonical = CanonicalPath(keyPath)) {
        if (const auto key = keys_.find(*canonical); key != keys_.end()) {
            key->second.erase(LowerAscii(name));
        }
    }
}

const RegistryHive::Values* RegistryHive::FindKey(std::string_view path) const {
    static const Values kEmptyRoot;
    const auto canonical = CanonicalPath(path);
    if (!canonical) {
        return nullptr;
    }
    if (const auto key = keys_.find(*canonical); key != keys_.end()) {
        return &key->second;
    }
    return canonical->find('\\') == std::string::npos ? &kEmptyRoot : nullptr;
}

std::string ExpandEnvironmentReferences(std::string_view text) {
    std::string expanded;
    std::size_t position = 0;
    while (position < text.size()) {
        const auto percent = text.find('%', position);
        expanded += text.substr(position, percent - position);
        if (percent == std::string_view::npos) {
            break;
        }
        const auto close = text.find('%', percent + 1);
        if (close == std::string_view::npos) {
            expanded += text.substr(percent);
            break;
        }
        if (const auto value = LookUpEnvironment(text.substr(percent + 1, close - percent - 1))) {
            expanded += *value;
        } else {
            expanded += text.substr(percent, close - percent + 1);
        }
        position = close + 1;
    }
    return expanded;
}

HiveRegistry::HiveRegistry(Loader load) : load_(std::move(load)) {}

std::optional<HiveRegistry::OpenedKey> HiveRegistry::Open(RegKeyHandle handle) {
    if (const auto root = RootName(handle)) {
        return OpenedKey{std::string(*root), *load_().FindKey(*root)};
    }
    std::lock_guard lock(mutex_);
    if (const auto opened = opened_.find(handle); opened != opened_.end()) {
        return opened->second;
    }
    return std::nullopt;
}

long HiveRegistry::OpenKey(RegKeyHandle parent, std::string_view subKey, RegKeyHandle& key) {
    std::string path;
    if (const auto root = RootName(parent)) {
        path = *root;
    } else {
        std::lock_guard lock(mutex_);
        const auto opened = opened_.find(parent);
        if (opened == opened_.end()) {
            return kRegInvalidHandle;
        }
        path = opened->second.path;
    }
    if (subKey.ends_with('\\')) {
        subKey.remove_suffix(1);
    }
    if (!subKey.empty()) {
        path += '\\';
        path += subKey;
    }
    const RegistryHive hive = load_();
    const RegistryHive::Values* values = hive.FindKey(path);
    if (values == nullptr) {
        return kRegFileNotFound;
    }
    std::lock_guard lock(mutex_);
    key = nextHandle_++;
    opened_.emplace(key, OpenedKey{std::move(path), *values});
    return kRegSuccess;
}

std::size_t ExpandEnvironmentInto(std::string_view source, std::string& destination,
                                  std::size_t capacity) {
    std::string expanded = ExpandEnvironmentReferences(source);
    const std::size_t needed = expanded.size() + 1;
    destination = needed <= capacity ? std::move(expanded) : std::string();
    return needed;
}

long QueryHiveValue(const RegistryHive::Values& values, std::string_view valueName,
                    std::uint32_t& type, std::string* data, std::uint32_t& size) {
    const auto value = values.find(LowerAscii(valueName));
    if (value == values.end()) {
        return kRegFileNotFound;
    }
    const auto needed = static_cast<std::uint32_t>(value->second.data.size());
    type = value->second.type;
    if (data != nullptr && size < needed) {
        size = needed;
        return kRegMoreData;
    }
    if (data != nullptr) {
        *data = value->second.data;
    }
    size = needed;
    return kRegSuccess;
}

long HiveRegistry::QueryValue(RegKeyHandle key, std::string_view valueName, std::uint32_t& type,
                              std::string* data, std::uint32_t& size) {
    const auto opened = Open(key);
    if (!opened) {
        return kRegInvalidHandle;
    }
    return QueryHiveValue(opened->values, valueName, type, data, size);
}

long HiveRegistry::CloseKey(RegKeyHandle key) {
    if (RootName(key)) {
        return kRegSuccess;
    }
    std::lock_guard lock(mutex_);
    return opened_.erase(key) == 1 ? kRegSuccess : kRegInvalidHandle;
}

std::size_t HiveRegistry::ExpandEnvironment(std::string_view source, std::string& destination,
                                            std::size_t capacity) {
    return ExpandEnvironmentInto(source, destination, capacity);
}

}  // namespace qelt
