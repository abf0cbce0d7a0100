#include <cerrno>
#include <cstring>
#include <string>

#include "cli/Files.h"
#include "settings/TextEncoding.h"

namespace qelt::cli {

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
            throw FileError("cannot be read: " + std::string(std::strerror(errno)));
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
