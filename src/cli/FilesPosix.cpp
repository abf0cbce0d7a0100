// The files qeltaudit reads and writes, through POSIX calls.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "cli/FileSystemCalls.h"
#include "cli/Files.h"

namespace qelt::cli {

namespace calls {

int OpenToWriteThrough(const std::filesystem::path& path) {
    return open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
}

int CreateNew(const std::filesystem::path& path) {
    return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

long long WriteSome(int fileDescriptor, const char* bytes, std::size_t size) {
    return write(fileDescriptor, bytes, size);
}

int Close(int fileDescriptor) {
    return close(fileDescriptor);
}

std::size_t LongestFileName(const std::filesystem::path& folder) {
    const long longest = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return longest > 0 ? static_cast<std::size_t>(longest) : NAME_MAX;
}

}  // namespace calls

namespace {

// The temporary file to remove when a signal ends the process, as the handler reads it.
volatile sig_atomic_t gHasPendingFile = 0;
char gPendingFile[PATH_MAX];

constexpr std::array kCleanupSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
std::array<struct sigaction, kCleanupSignals.size()> gPreviousActions;

extern "C" void RemovePendingFileAndEnd(int signalNumber) {
    if (gHasPendingFile) {
        unlink(gPendingFile);
    }
    // The signal stays blocked until the handler returns, then ends the process as before.
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

// Blocks the cleanup signals while it lives, so that a file and its registration appear together.
class CleanupSignalsBlocked {
  public:
    CleanupSignalsBlocked() {
        sigset_t blocked;
        sigemptyset(&blocked);
        for (const int signalNumber : kCleanupSignals) {
            sigaddset(&blocked, signalNumber);
        }
        pthread_sigmask(SIG_BLOCK, &blocked, &previous_);
    }
    ~CleanupSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    CleanupSignalsBlocked(const CleanupSignalsBlocked&) = delete;
    CleanupSignalsBlocked& operator=(const CleanupSignalsBlocked&) = delete;

  private:
    sigset_t previous_;
};

// The file a chain of symlinks ends at; the path itself when it is no symlink.
std::filesystem::path FinalTarget(std::filesystem::path path) {
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))) {
            return path;
        }
        const std::filesystem::path target = std::filesystem::read_symlink(path, error);
        if (error) {
            throw FileError("cannot follow the link " + Quoted(path) + ": " + error.message());
        }
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    throw FileError("cannot follow the link " + Quoted(path) + ": " + std::strerror(ELOOP));
}

// Writes the bytes into a new temporary file beside `target` and renames it over the target.
void ReplaceRegularFile(const std::filesystem::path& target, std::string_view bytes) {
    struct stat existing {};
    const bool exists = stat(target.c_str(), &existing) == 0;
    std::filesystem::path temporary;
    std::optional<TemporaryFileGuard> guard;
    int fd = -1;
    {
        const CleanupSignalsBlocked blocked;
        fd = CreateFileBeside(target, temporary);
        guard.emplace(temporary);
    }
    FileDescriptor file(fd);
    const auto fail = [&](const std::string& reason) {
        unlink(temporary.c_str());
        throw FileError("cannot write " + Quoted(target) + ": " + reason);
    };
    try {
        WriteAll(file.Get(), bytes);
    } catch (const FileError& error) {
        fail(error.what());
    }
    if (exists) {
        // Root keeps the owner as well; anyone else keeps at least the permission bits.
        [[maybe_unused]] const int ignored = fchown(file.Get(), existing.st_uid, existing.st_gid);
        if (fchmod(file.Get(), existing.st_mode & 07777) != 0) {
            fail(Reason());
        }
    }
    if (fsync(file.Get()) != 0 || !file.Close()) {
        fail(Reason());
    }
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        fail(Reason());
    }
}

}  // namespace

void WriteOutputFile(const std::filesystem::path& path, std::string_view bytes,
                     int standardOutput) {
    struct stat status {};
    if (stat(path.c_str(), &status) == 0) {
        struct stat out {};
        if (standardOutput >= 0 && fstat(standardOutput, &out) == 0 &&
            out.st_dev == status.st_dev && out.st_ino == status.st_ino) {
            WriteAll(standardOutput, bytes);
            return;
        }
        if (S_ISDIR(status.st_mode)) {
            throw FileError("cannot write " + Quoted(path) + ": it is a folder");
        }
        if (!S_ISREG(status.st_mode)) {
            WriteThrough(path, bytes);
            return;
        }
    }
    ReplaceRegularFile(FinalTarget(path), bytes);
}

bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    struct stat first {};
    struct stat second {};
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool OpenClosedStandardStreams() {
    bool outputClosed = false;
    for (int fd = 0; fd < 3; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            outputClosed = outputClosed || fd == 1;
            // The lowest free number: this one, as the lower ones are open by now.
            const int opened = open("/dev/null", O_RDWR);
            if (opened != fd && opened >= 0) {
                close(opened);
            }
        }
    }
    return outputClosed;
}

namespace {

// Blocks of this size or more are mapped on their own; those of a large page or more are backed
// by large pages. A smaller block in a large page would have the whole page cleared.
constexpr std::size_t kLargeBuffer = 256 * 1024;
constexpr std::size_t kLargePage = 2 * 1024 * 1024;
constexpr std::size_t kPage = 4096;

// The bytes mapped for a block of `bytes`: whole pages, large ones for a large block.
std::size_t MappedLength(std::size_t bytes) {
    const std::size_t page = bytes < kLargePage ? kPage : kLargePage;
    const std::size_t length = (bytes + page - 1) & ~(page - 1);
    if (length < bytes) {
        throw std::bad_alloc();
    }
    return length;
}

void* MapAnonymous(std::size_t length) {
    void* region =
        mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (region == MAP_FAILED) {
        throw std::bad_alloc();
    }
    return region;
}

// A large page must start on a large-page boundary: maps one page more, keeps an aligned block
// and gives back the rest.
void* MapLargePages(std::size_t length) {
    if (length + kLargePage < length) {
        throw std::bad_alloc();
    }
    const auto start = reinterpret_cast<std::uintptr_t>(MapAnonymous(length + kLargePage));
    const std::uintptr_t block = (start + kLargePage - 1) & ~(kLargePage - 1);
    if (block != start) {
        munmap(reinterpret_cast<void*>(start), block - start);
    }
    munmap(reinterpret_cast<void*>(block + length), start + kLargePage - block);
    return reinterpret_cast<void*>(block);
}

class LargePageResource final : public std::pmr::memory_resource {
    void* do_allocate(std::size_t bytes, std::size_t alignment) override {
        if (bytes < kLargeBuffer) {
            return std::pmr::new_delete_resource()->allocate(bytes, alignment);
        }
        const std::size_t length = MappedLength(bytes);
        void* block = bytes < kLargePage ? MapAnonymous(length) : MapLargePages(length);
#if defined(MADV_HUGEPAGE) && defined(MADV_NOHUGEPAGE)
        madvise(block, length, bytes < kLargePage ? MADV_NOHUGEPAGE : MADV_HUGEPAGE);
#endif
        PrefaultMemory(block, bytes);
        return block;
    }

    void do_deallocate(void* block, std::size_t bytes, std::size_t alignment) override {
        if (bytes < kLargeBuffer) {
            std::pmr::new_delete_resource()->deallocate(block, bytes, alignment);
        } else {
            munmap(block, MappedLength(bytes));
        }
    }

    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
        return this == &other;
    }
};

}  // namespace

std::pmr::memory_resource& LargeBufferMemory() {
    static LargePageResource memory;
    return memory;
}

void PrefaultMemory(const void* begin, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    const auto first = (reinterpret_cast<std::uintptr_t>(begin) + kPage - 1) & ~(kPage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(begin) + bytes) & ~(kPage - 1);
    if (first < end) {
        madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
    }
#endif
}

void PreferLargePages(const std::string& text) {
#ifdef MADV_HUGEPAGE
    const auto begin = reinterpret_cast<std::uintptr_t>(text.data());
    const std::uintptr_t end = begin + text.capacity();
    const std::uintptr_t first = (begin + kLargePage - 1) & ~(kLargePage - 1);
    if (first < end) {
        madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
    }
#else
    (void)text;
#endif
}

TemporaryFileGuard::TemporaryFileGuard(const std::filesystem::path& path) {
    const std::string& text = path.native();
    if (text.size() >= sizeof gPendingFile) {
        return;  // no such path can be opened either
    }
    std::memcpy(gPendingFile, text.c_str(), text.size() + 1);
    gHasPendingFile = 1;
    for (std::size_t i = 0; i < kCleanupSignals.size(); ++i) {
        sigaction(kCleanupSignals[i], nullptr, &gPreviousActions[i]);
        if (gPreviousActions[i].sa_handler == SIG_IGN) {
            continue;  // a signal the caller ignores, as under nohup, must not end the process
        }
        struct sigaction action {};
        action.sa_handler = RemovePendingFileAndEnd;
        sigemptyset(&action.sa_mask);
        sigaction(kCleanupSignals[i], &action, nullptr);
    }
}

TemporaryFileGuard::~TemporaryFileGuard() {
    if (!gHasPendingFile) {
        return;
    }
    for (std::size_t i = 0; i < kCleanupSignals.size(); ++i) {
        sigaction(kCleanupSignals[i], &gPreviousActions[i], nullptr);
    }
    gHasPendingFile = 0;
}

}  // namespace qelt::cli
