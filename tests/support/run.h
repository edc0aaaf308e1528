// Runs a program without a terminal and collects what it writes, for end-to-end tests.
// Linux: the child starts a new session (setsid) and so has no controlling terminal:
// opening /dev/tty fails and programs fall back to standard input (run.cpp).
// Windows: the child starts detached, without a console: opening CONIN$ fails and
// programs fall back to standard input likewise (run_win32.cpp).
#pragma once

#include <optional>
#include <string>
#include <vector>
#ifndef _WIN32
#include <sys/types.h>
#endif

struct runresult {
    int status = -1; // exit code; -1 on timeout or start failure; on Linux 128 + signal when
                     // killed by one, on Windows the exception code of a crash (0xC0000005 ...)
    std::string out; // standard output
    std::string err; // standard error (or why the program could not start)
};

// True when the test runs as a Windows program under Wine, which differs from
// Windows in a few places that the tests name where they meet them.
bool underwine();

// Runs program with args (no shell; a program name without a folder is looked up in PATH;
// on Windows ".exe" is added to a name without an extension, so SUITE_BIN_DIR "/name" names
// the program on both). cwd: working folder, empty for the caller's. input: standard input's
// bytes, then end of file; std::nullopt makes standard input the null device. After
// timeoutms the program is killed (on Linux its process group) and status is -1. env
// entries "NAME=value" set and "NAME" removes a variable on top of the caller's environment.
// On Windows the C runtime writes each line end of a text-mode stream as CR LF; out and err
// hold them as "\n", as a terminal shows them, so that one expectation serves both builds.
runresult runprogram(const std::string &program, const std::vector<std::string> &args,
                     const std::string &cwd = {},
                     const std::optional<std::string> &input = std::nullopt, int timeoutms = 10000,
                     const std::vector<std::string> &env = {});

// A program kept running beside the test, with pipes on its standard input and output:
// e.g. holdopen, which holds a file open in another process until its input ends.
class companion {
  public:
    companion() = default;
    companion(const companion &) = delete;
    companion &operator=(const companion &) = delete;
    ~companion(); // as finish(), when still running

    // Starts program with args as runprogram does. False if it could not (why: error()).
    bool start(const std::string &program, const std::vector<std::string> &args);
    // The next line it writes, without the line end; empty on timeout or end of output.
    std::string readline(int timeoutms = 10000);
    // Closes its standard input and waits for it to end: its exit code, or -1 when it had
    // to be killed after timeoutms.
    int finish(int timeoutms = 10000);
    const std::string &error() const { return failure; }

  private:
    std::string failure, buffered;
    bool running = false;
#ifdef _WIN32
    void *process = nullptr, *input = nullptr, *output = nullptr;
#else
    pid_t child = -1;
    int input = -1, output = -1;
#endif
};

#ifndef _WIN32

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
#endif
