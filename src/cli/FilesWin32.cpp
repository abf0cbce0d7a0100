#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <random>
#include <string>

#include "auditscript/SqlQuoting.h"
#include "cli/Files.h"

namespace qelt::cli {

namespace {

std::string Reason() {
    return std::strerror(errno);
}

std::string Quoted(const std::filesystem::path& path) {
    const std::u8string utf8 = path.u8string();
    return QuotedForMessage(std::string(utf8.begin(), utf8.end()));
}

// The temporary file to remove when Ctrl+C, Ctrl+Break or closing the console ends the process.
wchar_t gPendingFile[32768];
volatile LONG gHasPendingFile = 0;

BOOL WINAPI RemovePendingFile(DWORD) {
    if (gHasPendingFile) {
        DeleteFileW(gPendingFile);
    }
    return FALSE;  // the default handler ends the process as before
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            _close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const { return fd_; }
    bool Close() {
        const int result = _close(fd_);
        fd_ = -1;
        return result == 0;
    }

  private:
    int fd_;
};

void WriteThrough(const std::filesystem::path& path, std::string_view bytes) {
    FileDescriptor file(_wopen(path.c_str(), _O_WRONLY | _O_BINARY));
    if (file.Get() < 0) {
        throw FileError("cannot write " + Quoted(path) + ": " + Reason());
    }
    try {
        WriteAll(file.Get(), bytes);
    } catch (const FileError& error) {
        throw FileError("cannot write " + Quoted(path) + ": " + error.what());
    }
    if (!file.Close()) {
        throw FileError("cannot write " + Quoted(path) + ": " + Reason());
    }
}

void ReplaceRegularFile(const std::filesystem::path& target, std::string_view bytes) {
    std::filesystem::path temporary;
    int fd = -1;
    std::random_device random;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = target;
        temporary += ".tmp" + std::to_string(random());
        fd = _wopen(temporary.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                    _S_IREAD | _S_IWRITE);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        throw FileError("cannot write " + Quoted(target) + ": " + Reason());
    }
    const TemporaryFileGuard guard(temporary);
    FileDescriptor file(fd);
    const auto fail = [&](const std::string& reason) {
        file.Close();
        _wunlink(temporary.c_str());
        throw FileError("cannot write " + Quoted(target) + ": " + reason);
    };
    try {
        WriteAll(file.Get(), bytes);
    } catch (const FileError& error) {
        fail(error.what());
    }
    if (_commit(file.Get()) != 0 || !file.Close()) {
        fail(Reason());
    }
    std::error_code error;
    std::filesystem::rename(temporary, target, error);  // replaces an existing file
    if (error) {
        fail(error.message());
    }
}

}  // namespace

void WriteAll(int fileDescriptor, std::string_view bytes) {
    constexpr std::size_t kLargestWrite = 1 << 30;
    while (!bytes.empty()) {
        const int written = _write(fileDescriptor, bytes.data(),
                                   static_cast<unsigned>(std::min(bytes.size(), kLargestWrite)));
        if (written <= 0) {
            throw FileError(written < 0 ? Reason() : "nothing could be written");
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

std::pmr::memory_resource& LargeBufferMemory() {
    return *std::pmr::new_delete_resource();  // large pages need a privilege users lack
}

void WriteOutputFile(const std::filesystem::path& path, std::string_view bytes, int) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (std::filesystem::is_directory(status)) {
        throw FileError("cannot write " + Quoted(path) + ": it is a folder");
    }
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        WriteThrough(path, bytes);
        return;
    }
    const bool isLink = std::filesystem::is_symlink(std::filesystem::symlink_status(path, error));
    const std::filesystem::path target =
        isLink ? std::filesystem::weakly_canonical(path, error) : path;
    ReplaceRegularFile(target.empty() ? path : target, bytes);
}

void PrefaultMemory(const void*, std::size_t) {}  // Windows maps committed pages as it must

void PreferLargePages(const std::string&) {}  // large pages need a privilege users lack

TemporaryFileGuard::TemporaryFileGuard(const std::filesystem::path& path) {
    const std::wstring& text = path.native();
    if (text.size() >= std::size(gPendingFile)) {
        return;
    }
    std::copy(text.c_str(), text.c_str() + text.size() + 1, gPendingFile);
    InterlockedExchange(&gHasPendingFile, 1);
    SetConsoleCtrlHandler(RemovePendingFile, TRUE);
}

TemporaryFileGuard::~TemporaryFileGuard() {
    if (InterlockedExchange(&gHasPendingFile, 0)) {
        SetConsoleCtrlHandler(RemovePendingFile, FALSE);
    }
}

}  // namespace qelt::cli
