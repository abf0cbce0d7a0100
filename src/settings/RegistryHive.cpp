// An in-memory registry, and the names of its roots.
#include "settings/RegistryHive.h"

#include <array>
#include <cstdlib>
#include <utility>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "text/Ascii.h"

namespace qelt {

namespace {

std::optional<std::string_view> RootName(RegKeyHandle handle) {
    if (handle == kHKeyLocalMachine) {
        return kLocalMachineRoot;
    }
    if (handle == kHKeyCurrentUser) {
        return kCurrentUserRoot;
    }
    return std::nullopt;
}

// The root as keys are filed under it, from its name or its short form.
std::optional<std::string_view> CanonicalRoot(std::string_view root) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 8> kRoots{{
        {"hkey_local_machine", "hkey_local_machine"},
        {"hklm", "hkey_local_machine"},
        {"hkey_current_user", "hkey_current_user"},
        {"hkcu", "hkey_current_user"},
        {"hkey_classes_root", "hkey_classes_root"},
        {"hkcr", "hkey_classes_root"},
        {"hkey_users", "hkey_users"},
        {"hkey_current_config", "hkey_current_config"},
    }};
    for (const auto& [alias, name] : kRoots) {
        if (text::EqualsIgnoringAsciiCase(root, alias)) {
            return name;
        }
    }
    return std::nullopt;
}

}  // namespace

RegistryValue DwordValue(std::uint32_t number) {
    std::string bytes;
    for (int shift = 0; shift < 32; shift += 8) {
        bytes += static_cast<char>((number >> shift) & 0xFF);
    }
    return {kRegDword, bytes};
}

RegistryHive::RegistryHive() : keys_(1) {}

std::optional<std::pair<RegistryHive::KeyId, RegistryHive::KeyId>> RegistryHive::Walk(
    std::string_view path, bool create) {
    auto separator = path.find('\\');
    const auto root = CanonicalRoot(path.substr(0, separator));
    if (!root) {
        return std::nullopt;
    }
    KeyId key = 0;
    std::string name(*root);
    while (true) {
        KeyId next = 0;
        if (const auto found = keys_[key].children.find(name); found != keys_[key].children.end()) {
            next = found->second;
        } else if (create) {
            next = keys_.size();
            keys_[key].children.emplace(std::move(name), next);
            keys_.emplace_back();
        } else if (key == 0 && separator == std::string_view::npos) {
            return std::pair{KeyId{0}, KeyId{0}};  // a root nothing was written to: empty
        } else {
            return std::nullopt;
        }
        const KeyId parent = key;
        key = next;
        if (separator == std::string_view::npos) {
            return std::pair{key, parent};
        }
        path.remove_prefix(separator + 1);
        separator = path.find('\\');
        name = text::AsciiLower(path.substr(0, separator));
        if (name.empty()) {
            return std::nullopt;
        }
    }
}

std::optional<RegistryHive::KeyId> RegistryHive::CreateKey(std::string_view path) {
    const auto walked = Walk(path, true);
    return walked ? std::optional(walked->first) : std::nullopt;
}

std::optional<RegistryHive::KeyId> RegistryHive::FindKeyId(std::string_view path) const {
    // Walk changes nothing when it creates nothing.
    const auto walked = const_cast<RegistryHive*>(this)->Walk(path, false);
    return walked ? std::optional(walked->first) : std::nullopt;
}

const RegistryHive::Values* RegistryHive::FindKey(std::string_view path) const {
    const auto key = FindKeyId(path);
    return key ? &keys_[*key].values : nullptr;
}

void RegistryHive::DeleteKey(std::string_view path) {
    const auto walked = Walk(path, false);
    if (!walked || walked->first == 0) {
        return;
    }
    const KeyId key = walked->first;
    const KeyId parent = walked->second;
    std::erase_if(keys_[parent].children, [key](const auto& child) { return child.second == key; });
    // Everything below goes too; iteratively, however deep it nests.
    std::vector<KeyId> below{key};
    while (!below.empty()) {
        Key removed = std::move(keys_[below.back()]);
        keys_[below.back()] = Key{};
        below.pop_back();
        for (const auto& [name, child] : removed.children) {
            below.push_back(child);
        }
    }
}

void RegistryHive::SetValue(std::string_view keyPath, std::string_view name, RegistryValue value) {
    if (const auto key = CreateKey(keyPath)) {
        SetValue(*key, name, std::move(value));
    }
}

void RegistryHive::SetValue(KeyId key, std::string_view name, RegistryValue value) {
    keys_[key].values[text::AsciiLower(name)] = std::move(value);
}

void RegistryHive::DeleteValue(KeyId key, std::string_view name) {
    keys_[key].values.erase(text::AsciiLower(name));
}

std::optional<std::string> LookUpProcessEnvironment(std::string_view name) {
    if (name.empty() || name.find('=') != std::string_view::npos) {
        return std::nullopt;
    }
    const std::string wanted(name);
    if (const char* value = std::getenv(wanted.c_str())) {
        return value;
    }
#ifndef _WIN32
    // Windows compares variable names without regard to case.
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string_view assignment(*entry);
        const auto equals = assignment.find('=');
        if (equals != std::string_view::npos &&
            text::EqualsIgnoringAsciiCase(assignment.substr(0, equals), name)) {
            return std::string(assignment.substr(equals + 1));
        }
    }
#endif
    return std::nullopt;
}

std::string ExpandEnvironmentReferences(std::string_view text, const EnvironmentLookup& lookUp) {
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
        if (const auto value = lookUp(text.substr(percent + 1, close - percent - 1))) {
            expanded += *value;
        } else {
            expanded += text.substr(percent, close - percent + 1);
        }
        position = close + 1;
    }
    return expanded;
}

std::size_t ExpandEnvironmentInto(std::string_view source, std::string& destination,
                                  std::size_t capacity, const EnvironmentLookup& lookUp) {
    std::string expanded = ExpandEnvironmentReferences(source, lookUp);
    const std::size_t needed = expanded.size() + 1;
    destination = needed <= capacity ? std::move(expanded) : std::string();
    return needed;
}

long QueryHiveValue(const RegistryHive::Values& values, std::string_view valueName,
                    std::uint32_t& type, std::string* data, std::uint32_t& size) {
    const auto value = values.find(text::AsciiLower(valueName));
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

std::optional<std::string> FileRegistry::PathOf(RegKeyHandle handle) const {
    if (const auto root = RootName(handle)) {
        return std::string(*root);
    }
    if (const auto opened = opened_.find(handle); opened != opened_.end()) {
        return opened->second.path;
    }
    return std::nullopt;
}

long FileRegistry::OpenKey(RegKeyHandle parent, std::string_view subKey, RegKeyHandle& key) {
    auto path = PathOf(parent);
    if (!path) {
        return kRegInvalidHandle;
    }
    if (subKey.ends_with('\\')) {
        subKey.remove_suffix(1);
    }
    if (!subKey.empty()) {
        *path += '\\';
        *path += subKey;
    }
    const RegistryHive::Values* values = FindKey(*path);
    if (values == nullptr) {
        return kRegFileNotFound;
    }
    key = nextHandle_++;
    opened_.emplace(key, OpenedKey{std::move(*path), *values});
    return kRegSuccess;
}

long FileRegistry::QueryValue(RegKeyHandle key, std::string_view valueName, std::uint32_t& type,
                              std::string* data, std::uint32_t& size) {
    const RegistryHive::Values* values = nullptr;
    if (const auto root = RootName(key)) {
        values = FindKey(*root);
    } else if (const auto opened = opened_.find(key); opened != opened_.end()) {
        values = &opened->second.values;
    }
    if (values == nullptr) {
        return kRegInvalidHandle;
    }
    return QueryHiveValue(*values, valueName, type, data, size);
}

long FileRegistry::CloseKey(RegKeyHandle key) {
    if (RootName(key)) {
        return kRegSuccess;
    }
    return opened_.erase(key) == 1 ? kRegSuccess : kRegInvalidHandle;
}

HiveRegistry::HiveRegistry(RegistryHive hive) : hive_(std::move(hive)) {}

const RegistryHive::Values* HiveRegistry::FindKey(std::string_view path) {
    return hive_.FindKey(path);
}

std::size_t HiveRegistry::ExpandEnvironment(std::string_view source, std::string& destination,
                                            std::size_t capacity) {
    return ExpandEnvironmentInto(source, destination, capacity, LookUpProcessEnvironment);
}

}  // namespace qelt
