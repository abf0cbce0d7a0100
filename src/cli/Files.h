// The files qeltaudit reads and writes: the columns file, --output and standard output.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory_resource>
#include <stdexcept>
#include <string>
#include <string_view>

// The files qeltaudit reads and writes: the columns file, the --output file and standard output.
// Reading is portable (Files.cpp, over the settings layer's reader); the rest has one
// implementation a platform (FilesPosix.cpp, FilesWin32.cpp), chosen in CMake.
namespace qelt::cli {

// A file that could not be read or written. The message says what went wrong, with the system's
// reason where there is one; the caller names the file's role.
class FileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Writes all bytes to the open file descriptor, carrying on after short writes and
// interruptions; a failed write throws.
void WriteAll(int fileDescriptor, std::string_view bytes);

// Memory for the large buffers of one run: the columns file, its column list and the table of
// its names. A block of 256 KiB or more is mapped on its own and at once, so that filling it
// costs no fault every 4 KiB (in a virtual machine each fault costs microseconds); one of 2 MiB or
// more is backed by large pages where the system has them (a smaller one would have a whole
// large page cleared). Smaller blocks come from the heap. A block that cannot be had throws
// std::bad_alloc.
std::pmr::memory_resource& LargeBufferMemory();

// The whole content of a regular file, held in `memory`. A folder, FIFO or device is refused
// without waiting for a writer; reading holds the content once.
std::pmr::string ReadRegularFile(
    const std::filesystem::path& path,
    std::pmr::memory_resource& memory = *std::pmr::get_default_resource());

// Writes the bytes to the file at `path`. A regular file (or the one a symlink leads to, the link
// kept) is replaced in one step by a temporary file beside it, only once every byte is on disk,
// and keeps its permissions; a failure leaves it as it was and no temporary file behind, even when
// the run is ended by SIGINT, SIGTERM, SIGHUP or SIGQUIT. A FIFO or device is written through. A
// path that leads to the same file as `standardOutput` writes to that descriptor. The temporary
// file's name stays within the folder's longest file name, however long the target's is.
void WriteOutputFile(const std::filesystem::path& path, std::string_view bytes, int standardOutput);

// True when both paths lead to one existing file (the same device and file number; on Windows the
// same volume serial number and file index), whatever links or spellings lead there.
bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// Asks the system to map the pages of a buffer that is about to be filled in one step, instead
// of one fault a page as each is first touched. Only a hint.
void PrefaultMemory(const void* begin, std::size_t bytes);

// Asks the system to back the text's spare capacity with large pages where it can: a script of
// several megabytes then costs a few page faults instead of thousands. Only a hint.
void PreferLargePages(const std::string& text);

// While it lives, ending the process by SIGINT, SIGTERM, SIGHUP or SIGQUIT (on Windows, Ctrl+C or
// closing the console) first removes the file at `path`. One at a time.
class TemporaryFileGuard {
  public:
    explicit TemporaryFileGuard(const std::filesystem::path& path);
    ~TemporaryFileGuard();
    TemporaryFileGuard(const TemporaryFileGuard&) = delete;
    TemporaryFileGuard& operator=(const TemporaryFileGuard&) = delete;
};

#ifndef _WIN32
// Opens /dev/null on each of the standard descriptors 0, 1 and 2 that is closed, so that no file,
// pipe or socket opened later takes that number and receives what was meant for the stream.
// Returns whether standard output was closed: a text bound for it must still fail. Called first
// thing in main. (Windows' runtime keeps its standard descriptors reserved, open or not.)
bool OpenClosedStandardStreams();
#endif

}  // namespace qelt::cli
