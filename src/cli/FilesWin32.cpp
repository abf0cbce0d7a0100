// The files qeltaudit reads and writes, through the Windows C runtime and Windows calls.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

#include "cli/FileSystemCalls.h"
#include "cli/Files.h"

namespace qelt::cli {

namespace calls {

int OpenToWriteThrough(const std::filesystem::path& path) {
    return _wopen(path.c_str(), _O_WRONLY | _O_BINARY);
}

int CreateNew(const std::filesystem::path& path) {
    return _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}

long long WriteSome(int fileDescriptor, const char* bytes, std::size_t size) {
    return _write(fileDescriptor, bytes, static_cast<unsigned>(size));
}

int Close(int fileDescriptor) {
    return _close(fileDescriptor);
}

std::size_t LongestFileName(const std::filesystem::path&) {
    return 255;
}

}  // namespace calls

namespace {

// The temporary file to remove when Ctrl+C, Ctrl+Break or closing the console ends the process.
wchar_t gPendingFile[32768];
volatile LONG gHasPendingFile = 0;

BOOL WINAPI RemovePendingFile(DWORD) {
    if (gHasPendingFile) {
        DeleteFileW(gPendingFile);
    }
    return FALSE;  // the default handler ends the process as before
}

void ReplaceRegularFile(const std::filesystem::path& target, std::string_view bytes) {
    std::filesystem::path temporary;
    FileDescriptor file(CreateFileBeside(target, temporary));
    const TemporaryFileGuard guard(temporary);
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

namespace {

// The volume serial number and file index of an existing file or folder; nothing for none.
std::optional<BY_HANDLE_FILE_INFORMATION> FileIdentity(const std::filesystem::path& path) {
    // No access asked, so that a file another program holds open can still be compared; a folder
    // opens only with backup semantics.
    const HANDLE handle =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const bool known = GetFileInformationByHandle(handle, &information) != 0;
    CloseHandle(handle);
    return known ? std::optional(information) : std::nullopt;
}

}  // namespace

bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    const auto first = FileIdentity(a);
    const auto second = FileIdentity(b);
    return first && second && first->dwVolumeSerialNumber == second->dwVolumeSerialNumber &&
           first->nFileIndexHigh == second->nFileIndexHigh &&
           first->nFileIndexLow == second->nFileIndexLow;
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
