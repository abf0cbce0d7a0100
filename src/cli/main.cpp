// qeltaudit's entry point: the arguments and standard streams handed to the run.
#include <cstdio>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <cwchar>

#include "text/Utf.h"
#else
#include <csignal>

#include "cli/Files.h"
#endif

#include "cli/QeltAudit.h"

namespace {

int Run(const std::vector<std::string>& args, int standardOutput) {
    try {
        return qelt::cli::RunQeltAudit(args, standardOutput, std::cerr);
    } catch (const std::bad_alloc&) {
        // A failure's message found no memory.
        std::fputs(qelt::cli::kOutOfMemoryMessage, stderr);
        return qelt::cli::kExitOutOfMemory;
    }
}

}  // namespace

#ifdef _WIN32
// The arguments as Windows holds them, in UTF-16: the narrow ones would be in the code page,
// which cannot carry every file name.
int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);  // the script's CR LF must reach stdout unchanged
    try {
        std::vector<std::string> args;
        for (int i = 1; i < argc; ++i) {
            args.push_back(
                qelt::text::Utf16ToUtf8(std::u16string(argv[i], argv[i] + std::wcslen(argv[i]))));
        }
        return Run(args, fileno(stdout));
    } catch (const std::bad_alloc&) {
        std::fputs(qelt::cli::kOutOfMemoryMessage, stderr);
        return qelt::cli::kExitOutOfMemory;
    }
}
#else
int main(int argc, char** argv) {
    const bool outputClosed = qelt::cli::OpenClosedStandardStreams();
    // A reader that went away is then a failed write with its reason (exit 74), not the end of
    // the process.
    std::signal(SIGPIPE, SIG_IGN);
    // A standard output closed at start has /dev/null behind it now, where the script would
    // vanish: writes go to no descriptor and fail as they did on the closed one.
    const int standardOutput = outputClosed ? -1 : fileno(stdout);
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc), standardOutput);
    } catch (const std::bad_alloc&) {
        // Copying the arguments found no memory.
        std::fputs(qelt::cli::kOutOfMemoryMessage, stderr);
        return qelt::cli::kExitOutOfMemory;
    }
}
#endif
