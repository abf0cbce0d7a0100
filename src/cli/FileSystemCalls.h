#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

// What the portable file code (Files.cpp) shares with the platform files: the few C runtime calls
// it makes, named alike everywhere and made in FilesPosix.cpp or FilesWin32.cpp, and the helpers
// both sides use. A failed call returns -1 and sets errno.
namespace qelt::cli {

namespace calls {
// Opens an existing file for writing, neither creating nor truncating it.
int OpenToWriteThrough(const std::filesystem::path& path);
// Creates a file for writing; fails with EEXIST when one is there.
int CreateNew(const std::filesystem::path& path);
// Writes up to 1 GiB: how many bytes were written.
long long WriteSome(int fileDescriptor, const char* bytes, std::size_t size);
int Close(int fileDescriptor);
}  // namespace calls

// An open file descriptor, closed when it goes.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            calls::Close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const { return fd_; }
    // Closes now, so that a failure to close is seen.
    bool Close() {
        const int result = calls::Close(fd_);
        fd_ = -1;
        return result == 0;
    }

  private:
    int fd_;
};

// errno's text.
std::string Reason();

// The path as a message shows it, in quotes.
std::string Quoted(const std::filesystem::path& path);

// Writes the bytes into the existing file at `path` (a FIFO or device), as it is.
void WriteThrough(const std::filesystem::path& path, std::string_view bytes);

// Creates a new file beside `target` with a name of its own, which `temporary` receives, and
// returns its open descriptor.
int CreateFileBeside(const std::filesystem::path& target, std::filesystem::path& temporary);

}  // namespace qelt::cli
