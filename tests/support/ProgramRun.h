#pragma once

// Runs a built program as a process of its own, with its standard descriptors chosen: open on a
// given descriptor or closed, as a shell's `>&-` leaves them. POSIX only.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace qelt::test {

struct ProgramRun {
    int exitCode = -1;  // -1 when a signal ended it
    int signal = 0;     // the signal that ended it, or 0
    std::string err;    // what it wrote to standard error
};

// Standard output closed, for RunProgram.
inline constexpr int kClosedOutput = -1;

// Runs `program` with the arguments: standard output on `standardOutput` (or closed), standard
// error read back through a pipe, SIGPIPE at its default action, then the descriptors `closed`
// closed.
inline ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                             int standardOutput, const std::vector<int>& closed = {}) {
    ProgramRun run;
    int errPipe[2];
    if (pipe2(errPipe, O_CLOEXEC) != 0) {
        run.err = std::string("no pipe: ") + std::strerror(errno);
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    if (standardOutput == kClosedOutput) {
        posix_spawn_file_actions_addclose(&actions, 1);
    } else {
        posix_spawn_file_actions_adddup2(&actions, standardOutput, 1);
    }
    for (const int fd : closed) {
        posix_spawn_file_actions_addclose(&actions, fd);
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> texts = {program};
    texts.insert(texts.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& text : texts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(errPipe[1]);
    if (spawned != 0) {
        close(errPipe[0]);
        run.err = "cannot start " + program + ": " + std::strerror(spawned);
        return run;
    }
    // Read to the end before waiting, so that a long message cannot stall the program.
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(errPipe[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        run.err.append(buffer, static_cast<std::size_t>(got));
    }
    close(errPipe[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        run.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        run.signal = WTERMSIG(status);
    }
    return run;
}

}  // namespace qelt::test
