// The text of registry and settings files (UTF-16 or UTF-8), and opening them safely.
#include "settings/TextEncoding.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "text/Utf.h"

namespace qelt {

namespace {

// What an opened file is.
enum class FileKind { kRegular, kFolder, kOther, kUnknown };

// The C runtime's file calls differ in name and flags on Windows; the checks are the same.
#ifdef _WIN32
int OpenForReading(const std::filesystem::path& path) {
    return _wopen(path.c_str(), _O_RDONLY | _O_BINARY);
}
FileKind KindOf(int fd, std::size_t& size) {
    struct _stat64 status {};
    if (_fstat64(fd, &status) != 0) {
        return FileKind::kUnknown;
    }
    size = static_cast<std::size_t>(status.st_size);
    return (status.st_mode & _S_IFMT) == _S_IFREG   ? FileKind::kRegular
           : (status.st_mode & _S_IFMT) == _S_IFDIR ? FileKind::kFolder
                                                    : FileKind::kOther;
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
FileKind KindOf(int fd, std::size_t& size) {
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        return FileKind::kUnknown;
    }
    size = static_cast<std::size_t>(status.st_size);
    return S_ISREG(status.st_mode)   ? FileKind::kRegular
           : S_ISDIR(status.st_mode) ? FileKind::kFolder
                                     : FileKind::kOther;
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

std::optional<RegularFile> RegularFile::Open(const std::filesystem::path& path,
                                             std::string* whyNot) {
    const auto refuse = [whyNot](std::string reason) {
        if (whyNot != nullptr) {
            *whyNot = std::move(reason);
        }
        return std::nullopt;
    };
    const int fd = OpenForReading(path);
    if (fd < 0) {
        const std::string reason = std::strerror(errno);
        // Windows opens no folder at all, so its kind is asked of the path.
        std::error_code error;
        return refuse(std::filesystem::is_directory(path, error) ? "is a folder"
                                                                 : "cannot be read: " + reason);
    }
    std::size_t size = 0;
    const FileKind kind = KindOf(fd, size);
    if (kind != FileKind::kRegular) {
        const std::string reason = std::strerror(errno);
        CloseFile(fd);
        return refuse(kind == FileKind::kFolder  ? "is a folder"
                      : kind == FileKind::kOther ? "is not a regular file"
                                                 : "cannot be read: " + reason);
    }
    return RegularFile(fd, size);
}

RegularFile::RegularFile(RegularFile&& other) noexcept : fd_(other.fd_), size_(other.size_) {
    other.fd_ = -1;
}

RegularFile::~RegularFile() {
    if (fd_ >= 0) {
        CloseFile(fd_);
    }
}

long long RegularFile::Read(char* buffer, std::size_t size) {
    return ReadSome(fd_, buffer, size);
}

std::optional<std::string> ReadFileBytes(const std::filesystem::path& path) {
    auto file = RegularFile::Open(path);
    if (!file) {
        return std::nullopt;
    }
    // As many bytes as the file had when opened, then whatever it grew by meanwhile (some
    // generated files report 0); what a shrinking file no longer holds is cut off.
    std::string bytes(file->OpenedSize(), '\0');
    std::size_t filled = 0;
    long long count = 1;
    while (filled < bytes.size() &&
           (count = file->Read(bytes.data() + filled, bytes.size() - filled)) > 0) {
        filled += static_cast<std::size_t>(count);
    }
    bytes.resize(filled);
    std::array<char, 65536> chunk{};
    while (count > 0 && (count = file->Read(chunk.data(), chunk.size())) > 0) {
        bytes.append(chunk.data(), static_cast<std::size_t>(count));
    }
    if (count < 0) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace qelt
