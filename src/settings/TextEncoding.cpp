#include "settings/TextEncoding.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "text/Utf.h"

namespace qelt {

namespace {

// The C runtime's file calls differ in name and flags on Windows; the checks are the same.
#ifdef _WIN32
int OpenForReading(const std::filesystem::path& path) {
    return _wopen(path.c_str(), _O_RDONLY | _O_BINARY);
}
bool IsRegularFile(int fd, std::size_t& size) {
    struct _stat64 status {};
    if (_fstat64(fd, &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG) {
        return false;
    }
    size = static_cast<std::size_t>(status.st_size);
    return true;
}
long long ReadSome(int fd, char* buffer, std::size_t size) {
    return _read(fd, buffer, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
}
void CloseFile(int fd) {
    _close(fd);
}
#else
int OpenForReading(const std::filesystem::path& path) {
    // O_NONBLOCK: opening a FIFO returns at once instead of waiting for a writer.
    return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
}
// Asked of the opened file, so a file swapped after a check by name cannot slip through.
bool IsRegularFile(int fd, std::size_t& size) {
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        return false;
    }
    size = static_cast<std::size_t>(status.st_size);
    return true;
}
long long ReadSome(int fd, char* buffer, std::size_t size) {
    return read(fd, buffer, size);
}
void CloseFile(int fd) {
    close(fd);
}
#endif

}  // namespace

std::string_view DecodeTextFile(std::string_view bytes, std::string& converted) {
    if (bytes.starts_with("\xFF\xFE")) {
        converted = text::Utf16LeBytesToUtf8(bytes.substr(2));
        return converted;
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    return bytes;
}

std::optional<std::string> ReadFileBytes(const std::filesystem::path& path) {
    const int fd = OpenForReading(path);
    if (fd < 0) {
        return std::nullopt;
    }
    std::size_t expected = 0;
    if (!IsRegularFile(fd, expected)) {
        CloseFile(fd);
        return std::nullopt;
    }
    // As many bytes as fstat reports, then whatever the file grew by meanwhile (some generated
    // files report 0); what a shrinking file no longer holds is cut off.
    std::string bytes(expected, '\0');
    std::size_t filled = 0;
    long long count = 1;
    while (filled < bytes.size() &&
           (count = ReadSome(fd, bytes.data() + filled, bytes.size() - filled)) > 0) {
        filled += static_cast<std::size_t>(count);
    }
    bytes.resize(filled);
    std::array<char, 65536> chunk{};
    while (count > 0 && (count = ReadSome(fd, chunk.data(), chunk.size())) > 0) {
        bytes.append(chunk.data(), static_cast<std::size_t>(count));
    }
    CloseFile(fd);
    if (count < 0) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace qelt
