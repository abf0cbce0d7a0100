#pragma once

#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <string_view>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "support/ScopedEnvironment.h"
#include "support/TempFolder.h"

namespace qelt::test {

// ASCII text as UTF-16LE bytes.
inline std::string Utf16Le(std::string_view ascii) {
    std::string bytes;
    for (const char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

// Bytes as a regedit hex list: "41,00,42,00".
inline std::string HexList(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string list;
    for (const char c : bytes) {
        if (!list.empty()) {
            list += ',';
        }
        list += kDigits[static_cast<unsigned char>(c) >> 4];
        list += kDigits[static_cast<unsigned char>(c) & 0xF];
    }
    return list;
}

#ifndef _WIN32
// Runs `read`, which reads the FIFO at `fifo` among others, and fails the test when it is still
// waiting after a few seconds; a writer then opens and closes the FIFO, so a reader that blocks
// is released with an end of file instead of hanging the test run.
template <typename Read>
auto ReadsWithoutBlocking(const std::filesystem::path& fifo, Read read) {
    auto reading = std::async(std::launch::async, read);
    if (reading.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
        ADD_FAILURE() << "reading blocked on the FIFO " << fifo;
        const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) {
            close(writer);
        }
    }
    return reading.get();
}

// What a settings file name may name besides a file; each must read as no file at all.
enum class NotAFile { Fifo, Folder };

// Makes a FIFO or a folder at `path`.
inline void MakeNotAFile(const std::filesystem::path& path, NotAFile kind) {
    std::filesystem::create_directories(path.parent_path());
    if (kind == NotAFile::Fifo) {
        ASSERT_EQ(mkfifo(path.c_str(), 0600), 0) << path;
    } else {
        std::filesystem::create_directory(path);
    }
}

inline std::string PrintNotAFile(const testing::TestParamInfo<NotAFile>& info) {
    return info.param == NotAFile::Fifo ? "Fifo" : "Folder";
}
#endif

}  // namespace qelt::test
