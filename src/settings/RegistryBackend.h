// The seam in front of the platform registry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The seam in front of the platform registry: RegFuncs reaches the registry only through the
// active RegistryBackend, so tests can put an in-memory registry or a failing one in its place.
// Text crosses this interface as UTF-8; a Windows backend converts to and from the ANSI code
// page itself.
namespace qelt {

// A key handle: a predefined root or a key opened through the backend.
using RegKeyHandle = std::uintptr_t;

inline constexpr RegKeyHandle kHKeyCurrentUser = 0x80000001;
inline constexpr RegKeyHandle kHKeyLocalMachine = 0x80000002;

// Value types as the registry stores them.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

// Status codes as the platform reports them.
inline constexpr long kRegSuccess = 0;
inline constexpr long kRegFileNotFound = 2;
inline constexpr long kRegInvalidHandle = 6;
inline constexpr long kRegMoreData = 234;

class RegistryBackend {
  public:
    virtual ~RegistryBackend() = default;

    // Opens an existing key below a root or an open key.
    virtual long OpenKey(RegKeyHandle parent, std::string_view subKey, RegKeyHandle& key) = 0;

    // Without `data`: reports the value's type and its data size in bytes, a stored NUL
    // included. With `data` (of `size` bytes): replaces it by the value's data, string types as
    // UTF-8, and sets `size`; kRegMoreData when `size` is too small. "" names the default value.
    virtual long QueryValue(RegKeyHandle key, std::string_view valueName, std::uint32_t& type,
                            std::string* data, std::uint32_t& size) = 0;

    virtual long CloseKey(RegKeyHandle key) = 0;

    // Replaces %NAME% references by environment values. Returns the size the result needs,
    // terminating NUL included (0 on failure); `destination` holds the result only when that
    // size is at most `capacity`, else "".
    virtual std::size_t ExpandEnvironment(std::string_view source, std::string& destination,
                                          std::size_t capacity) = 0;
};

// The platform's registry: the Windows registry, or elsewhere the registry file named by the
// environment variable QELT_REGISTRY.
RegistryBackend& SystemRegistry();

// The backend RegFuncs uses: the system registry unless a ScopedRegistryBackend is alive.
RegistryBackend& ActiveRegistry();

// Puts another backend in front of RegFuncs for its lifetime (tests).
class ScopedRegistryBackend {
  public:
    explicit ScopedRegistryBackend(RegistryBackend& backend);
    ~ScopedRegistryBackend();
    ScopedRegistryBackend(const ScopedRegistryBackend&) = delete;
    ScopedRegistryBackend& operator=(const ScopedRegistryBackend&) = delete;

  private:
    RegistryBackend* previous_;
};

}  // namespace qelt
