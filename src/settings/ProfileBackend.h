// The seam in front of the platform's profile (INI) file reader.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The seam in front of the platform's profile (INI) file reader, so tests can put their own
// reader in its place. Text crosses it as UTF-8.
namespace qelt {

class ProfileBackend {
  public:
    virtual ~ProfileBackend() = default;

    // Reads one value: returns the number of characters copied into `value` (at most
    // bufferSize - 1), the default when the file, section or key is missing.
    virtual std::uint32_t ReadProfileString(std::string_view section, std::string_view key,
                                            std::string_view defaultValue, std::string& value,
                                            std::uint32_t bufferSize,
                                            std::string_view fileName) = 0;
};

// The platform's reader: the Windows one, or elsewhere ProfileFileReader.
ProfileBackend& SystemProfileReader();

// The reader the settings lookups use: the system one unless a ScopedProfileBackend is alive.
ProfileBackend& ActiveProfileReader();

class ScopedProfileBackend {
  public:
    explicit ScopedProfileBackend(ProfileBackend& backend);
    ~ScopedProfileBackend();
    ScopedProfileBackend(const ScopedProfileBackend&) = delete;
    ScopedProfileBackend& operator=(const ScopedProfileBackend&) = delete;

  private:
    ProfileBackend* previous_;
};

}  // namespace qelt
