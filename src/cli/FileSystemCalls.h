// The seam in front of the C runtime's file calls that the file code makes.
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
// The longest file name the folder takes, in bytes of UTF-8 (Windows takes 255 UTF-16 units, and
// a Windows program under Wine names Linux files in UTF-8, where 255 bytes is the limit).
std::size_t LongestFileName(const std::filesystem::path& folder);
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
// returns its open descriptor. The name is the target's with a unique suffix, the target's part
// shortened where the whole would pass the folder's longest file name.
int CreateFileBeside(const std::filesystem::path& target, std::filesystem::path& temporary);

}  // namespace qelt::cli
