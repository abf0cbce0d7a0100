// The files qeltaudit reads and writes, the parts that are the same on every system.
#include "cli/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <string>

#include "auditscript/SqlQuoting.h"
#include "cli/FileSystemCalls.h"
#include "settings/TextEncoding.h"
#include "text/Utf8Path.h"

namespace qelt::cli {

std::string Reason() {
    return std::strerror(errno);
}

std::string Quoted(const std::filesystem::path& path) {
    return QuotedForMessage(text::Utf8Of(path));
}

void WriteAll(int fileDescriptor, std::string_view bytes) {
    constexpr std::size_t kLargestWrite = 1 << 30;
    while (!bytes.empty()) {
        const long long written =
            calls::WriteSome(fileDescriptor, bytes.data(), std::min(bytes.size(), kLargestWrite));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            throw FileError(written < 0 ? Reason() : "nothing could be written");
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

void WriteThrough(const std::filesystem::path& path, std::string_view bytes) {
    FileDescriptor file(calls::OpenToWriteThrough(path));
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

namespace {

// The first characters of a UTF-8 name that fit in `bytes` bytes, cut at a character's start.
std::string NameCutTo(std::string name, std::size_t bytes) {
    if (name.size() > bytes) {
        std::size_t cut = bytes;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        name.resize(cut);
    }
    return name;
}

}  // namespace

int CreateFileBeside(const std::filesystem::path& target, std::filesystem::path& temporary) {
    std::random_device random;
    const std::filesystem::path folder = target.parent_path();
    const std::string name = text::Utf8Of(target.filename());
    const std::size_t longest = calls::LongestFileName(folder);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string suffix = ".tmp" + std::to_string(random());
        const std::size_t room = longest > suffix.size() ? longest - suffix.size() : 0;
        temporary = folder / text::Utf8Path(NameCutTo(name, room) + suffix);
        if (const int fd = calls::CreateNew(temporary); fd >= 0) {
            return fd;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    throw FileError("cannot write " + Quoted(target) + ": " + Reason());
}

std::pmr::string ReadRegularFile(const std::filesystem::path& path,
                                 std::pmr::memory_resource& memory) {
    std::string whyNot;
    auto file = RegularFile::Open(path, &whyNot);
    if (!file) {
        throw FileError(whyNot);
    }
    // One read for the size the file had when opened (the byte beyond it shows the end); more
    // only if it grew meanwhile.
    std::pmr::string content(file->OpenedSize() + 1, '\0', &memory);
    std::size_t filled = 0;
    for (;;) {
        if (filled == content.size()) {
            content.resize(content.size() * 2);
        }
        const long long got = file->Read(content.data() + filled, content.size() - filled);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw FileError("cannot be read: " + Reason());
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    content.resize(filled);
    return content;
}

}  // namespace qelt::cli
