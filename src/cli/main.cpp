#include <cstdio>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cli/QeltAudit.h"

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);  // the script's CR LF must reach stdout unchanged
#endif
    try {
        return qelt::cli::RunQeltAudit(std::vector<std::string>(argv + 1, argv + argc),
                                       fileno(stdout), std::cerr);
    } catch (const std::bad_alloc&) {
        // Copying the arguments, or a failure's message, found no memory.
        std::fputs(qelt::cli::kOutOfMemoryMessage, stderr);
        return qelt::cli::kExitOutOfMemory;
    }
}
