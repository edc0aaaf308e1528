// Runs a program without a terminal and collects what it writes, for end-to-end tests.
// Linux only. The child starts a new session (setsid) and so has no controlling
// terminal: opening /dev/tty fails and programs fall back to standard input.
#pragma once

#include <optional>
#include <string>
#include <vector>
#include <sys/types.h>

struct runresult {
    int status = -1; // exit code; 128 + signal when killed by one; -1 on timeout or start failure
    std::string out; // standard output
    std::string err; // standard error (or why the program could not start)
};

// Runs program with args (no shell; a program name without '/' is looked up in PATH).
// cwd: working folder, empty for the caller's. input: standard input's bytes, then end of
// file; std::nullopt makes standard input /dev/null. After timeoutms the process group is
// killed and status is -1. env entries "NAME=value" set and "NAME" removes a variable on
// top of the caller's environment.
runresult runprogram(const std::string &program, const std::vector<std::string> &args,
                     const std::string &cwd = {},
                     const std::optional<std::string> &input = std::nullopt, int timeoutms = 10000,
                     const std::vector<std::string> &env = {});

// Process start-up shared by runprogram and ptyprocess.
namespace spawning {

struct childio {
    int in = -1, out = -1, err = -1; // become the child's 0, 1 and 2
    int ctty = -1;                   // when >= 0 this terminal becomes the controlling one
    std::string cwd;                 // when not empty, chdir here first
    std::string stdoutfile;          // when not empty, replaces out: created or truncated
                                     // after the chdir, so a relative name is under cwd
};

// Forks a new session running program; only 0, 1 and 2 stay open in it. Returns the pid,
// or -1 with the reason in error when the program could not be started (nothing is left
// running then).
pid_t spawn(const std::string &program, const std::vector<std::string> &args,
            const std::vector<std::string> &env, const childio &io, std::string &error);

// A waitpid() status as the tests see it: the exit code, or 128 + signal.
int exitcode(int waitstatus);

// A descriptor that polls readable once pid has exited, or -1 if the kernel has none.
int openpidfd(pid_t pid);

} // namespace spawning
