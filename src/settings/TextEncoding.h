// The text of registry and settings files (UTF-16 or UTF-8), and opening them safely.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qelt {

// The text of a registry file: UTF-16LE with byte-order mark converted to UTF-8 into
// `converted`, a UTF-8 byte-order mark skipped, anything else taken as it is. The result views
// `bytes` or `converted`, so a UTF-8 file is never copied.
std::string_view DecodeTextFile(std::string_view bytes, std::string& converted);

// A regular file open for reading. Opening never blocks (a FIFO without a writer is refused, not
// waited for), and the kind of file is asked of the opened file, so a file swapped after a
// check by name cannot slip through.
class RegularFile {
  public:
    // Nothing when the file cannot be opened or is not a regular file (a folder, a FIFO, a
    // device); `whyNot`, when given, then says why: "cannot be read: " and the system's reason,
    // "is a folder" or "is not a regular file".
    static std::optional<RegularFile> Open(const std::filesystem::path& path,
                                           std::string* whyNot = nullptr);
    RegularFile(RegularFile&& other) noexcept;
    RegularFile& operator=(RegularFile&&) = delete;
    ~RegularFile();

    // The size when it was opened; the file may grow or shrink while it is read.
    std::size_t OpenedSize() const { return size_; }
    // Reads up to `size` bytes: how many, 0 at the end, -1 when reading fails (errno says why).
    long long Read(char* buffer, std::size_t size);

  private:
    RegularFile(int fd, std::size_t size) : fd_(fd), size_(size) {}
    int fd_;
    std::size_t size_;
};

// The bytes of a regular file, read once; nothing when it cannot be opened or read or is not a
// regular file (a folder, a FIFO, a device).
std::optional<std::string> ReadFileBytes(const std::filesystem::path& path);

}  // namespace qelt
