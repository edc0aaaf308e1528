#include "tests/support/run.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace spawning {

namespace {

// What the child reports through the error pipe when it cannot exec.
struct failure {
    int stage;
    int error;
};

const char *const stagenames[] = {"setsid", "controlling terminal", "chdir", "open", "dup2",
                                  "exec"};

std::string findprogram(const std::string &program) {
    if (program.find('/') != std::string::npos) return program;
    const char *path = getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (size_t start = 0;;) {
        size_t end = dirs.find(':', start);
        std::string dir = dirs.substr(start, end == std::string::npos ? end : end - start);
        std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        if (end == std::string::npos) return program;
        start = end + 1;
    }
}

std::vector<std::string> makeenvironment(const std::vector<std::string> &changes) {
    std::vector<std::string> result;
    for (char **entry = environ; entry && *entry; ++entry)
        result.emplace_back(*entry);
    for (const std::string &change : changes) {
        std::string name = change.substr(0, change.find('='));
        std::erase_if(result, [&](const std::string &entry) {
            return entry.compare(0, name.size() + 1, name + "=") == 0;
        });
        if (change.find('=') != std::string::npos) result.push_back(change);
    }
    return result;
}

std::vector<char *> pointers(std::vector<std::string> &strings) {
    std::vector<char *> result;
    for (std::string &s : strings)
        result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}

// Child side, between fork and exec: async-signal-safe calls only.
[[noreturn]] void fail(int errfd, int stage) {
    failure report{stage, errno};
    ssize_t ignored = write(errfd, &report, sizeof report);
    (void)ignored;
    _exit(127);
}

// Moves fd above 2 so that installing 0, 1 and 2 cannot overwrite it.
int lift(int fd) {
    return fd >= 0 && fd < 3 ? fcntl(fd, F_DUPFD_CLOEXEC, 3) : fd;
}

[[noreturn]] void runchild(const char *path, char *const argv[], char *const envp[],
                           const childio &io, int errfd, int fdlimit) {
    // Ignored signals and the blocked mask survive exec: give the program a clean start.
    struct sigaction dfl = {};
    dfl.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig)
        if (sig != SIGKILL && sig != SIGSTOP) sigaction(sig, &dfl, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);

    errfd = lift(errfd);
    int in = lift(io.in), out = lift(io.out), err = lift(io.err);
    if (setsid() < 0) fail(errfd, 0);
    if (io.ctty >= 0 && ioctl(io.ctty, TIOCSCTTY, 0) < 0) fail(errfd, 1);
    if (!io.cwd.empty() && chdir(io.cwd.c_str()) < 0) fail(errfd, 2);
    if (!io.stdoutfile.empty()) {
        out = lift(open(io.stdoutfile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (out < 0) fail(errfd, 3);
    }
    if (dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) fail(errfd, 4);
    // Whatever else is open (the test process's own descriptors) closes at exec; the error
    // pipe, already close-on-exec, stays usable until then.
    if (close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) < 0)
        for (int fd = 3; fd < fdlimit; ++fd)
            fcntl(fd, F_SETFD, FD_CLOEXEC);
    execve(path, argv, envp);
    fail(errfd, 5);
}

} // namespace

pid_t spawn(const std::string &program, const std::vector<std::string> &args,
            const std::vector<std::string> &env, const childio &io, std::string &error) {
    // Everything the child needs is built here: after fork it may not allocate.
    std::string path = findprogram(program);
    std::vector<std::string> argstrings{program};
    argstrings.insert(argstrings.end(), args.begin(), args.end());
    std::vector<std::string> envstrings = makeenvironment(env);
    std::vector<char *> argv = pointers(argstrings), envp = pointers(envstrings);
    long openmax = sysconf(_SC_OPEN_MAX);
    int fdlimit = openmax > 0 && openmax < 65536 ? int(openmax) : 65536;

    int errpipe[2];
    if (pipe2(errpipe, O_CLOEXEC) < 0) {
        error = std::string("pipe: ") + strerror(errno);
        return -1;
    }
    pid_t pid = fork();
    if (pid == 0) {
        close(errpipe[0]);
        runchild(path.c_str(), argv.data(), envp.data(), io, errpipe[1], fdlimit);
    }
    close(errpipe[1]);
    if (pid < 0) {
        error = std::string("fork: ") + strerror(errno);
        close(errpipe[0]);
        return -1;
    }
    // The pipe closes at a successful exec; a report means the child gave up.
    failure report{};
    ssize_t n;
    do
        n = read(errpipe[0], &report, sizeof report);
    while (n < 0 && errno == EINTR);
    close(errpipe[0]);
    if (n <= 0) return pid;
    int ignored;
    while (waitpid(pid, &ignored, 0) < 0 && errno == EINTR) {
    }
    error = program + ": " + stagenames[report.stage] + ": " + strerror(report.error);
    return -1;
}

int exitcode(int waitstatus) {
    if (WIFEXITED(waitstatus)) return WEXITSTATUS(waitstatus);
    if (WIFSIGNALED(waitstatus)) return 128 + WTERMSIG(waitstatus);
    return -1;
}

int openpidfd(pid_t pid) {
    return int(syscall(SYS_pidfd_open, pid, 0));
}

} // namespace spawning

namespace {

void closefd(int &fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// Blocks SIGPIPE in this thread while feeding standard input, so a program that exits
// without reading costs an EPIPE, not the test process.
class sigpipeguard {
  public:
    sigpipeguard() {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, &saved);
    }
    ~sigpipeguard() {
        sigset_t pipe, pending;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        sigpending(&pending);
        if (!sigismember(&saved, SIGPIPE) && sigismember(&pending, SIGPIPE)) {
            timespec zero{};
            sigtimedwait(&pipe, nullptr, &zero);
        }
        pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    }

  private:
    sigset_t saved;
};

} // namespace

runresult runprogram(const std::string &program, const std::vector<std::string> &args,
                     const std::string &cwd, const std::optional<std::string> &input, int timeoutms,
                     const std::vector<std::string> &env) {
    using clock = std::chrono::steady_clock;
    auto deadline = clock::now() + std::chrono::milliseconds(timeoutms);
    runresult result;
    int inpipe[2] = {-1, -1}, outpipe[2] = {-1, -1}, errpipe[2] = {-1, -1};
    bool ok = pipe2(outpipe, O_CLOEXEC) == 0 && pipe2(errpipe, O_CLOEXEC) == 0;
    if (input)
        ok = ok && pipe2(inpipe, O_CLOEXEC) == 0;
    else
        ok = ok && (inpipe[0] = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;
    pid_t pid = -1;
    if (!ok) {
        result.err = std::string("pipe: ") + strerror(errno);
    } else {
        spawning::childio io;
        io.in = inpipe[0];
        io.out = outpipe[1];
        io.err = errpipe[1];
        io.cwd = cwd;
        pid = spawning::spawn(program, args, env, io, result.err);
    }
    closefd(inpipe[0]);
    closefd(outpipe[1]);
    closefd(errpipe[1]);
    if (pid < 0) {
        closefd(inpipe[1]);
        closefd(outpipe[0]);
        closefd(errpipe[0]);
        return result;
    }

    sigpipeguard guard;
    for (int fd : {inpipe[1], outpipe[0], errpipe[0]})
        if (fd >= 0) fcntl(fd, F_SETFL, O_NONBLOCK);
    int pidfd = spawning::openpidfd(pid);
    size_t written = 0;
    if (input && input->empty()) closefd(inpipe[1]);
    bool exited = false;
    int status = 0;
    // Until the program has exited and both output pipes reached end of file.
    while (!exited || outpipe[0] >= 0 || errpipe[0] >= 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now());
        if (left.count() <= 0) break;
        pollfd fds[4] = {{inpipe[1], POLLOUT, 0},
                         {outpipe[0], POLLIN, 0},
                         {errpipe[0], POLLIN, 0},
                         {exited ? -1 : pidfd, POLLIN, 0}};
        // Without a pidfd the exit is noticed by checking every few milliseconds.
        int wait = pidfd < 0 && !exited ? std::min<int>(int(left.count()), 10) : int(left.count());
        if (poll(fds, 4, wait) < 0 && errno != EINTR) break;
        if (fds[0].revents && inpipe[1] >= 0) {
            ssize_t n = write(inpipe[1], input->data() + written, input->size() - written);
            if (n > 0) written += size_t(n);
            if ((n < 0 && errno != EAGAIN && errno != EINTR) || written == input->size())
                closefd(inpipe[1]);
        }
        for (int i : {1, 2}) {
            if (!fds[i].revents) continue;
            int &fd = i == 1 ? outpipe[0] : errpipe[0];
            std::string &sink = i == 1 ? result.out : result.err;
            char buffer[65536];
            ssize_t n = read(fd, buffer, sizeof buffer);
            if (n > 0)
                sink.append(buffer, size_t(n));
            else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                closefd(fd);
        }
        if (!exited && waitpid(pid, &status, WNOHANG) == pid) exited = true;
    }
    if (!exited) {
        // Timed out: the program and whatever it started go.
        kill(-pid, SIGKILL);
        kill(pid, SIGKILL);
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        result.status = -1;
    } else {
        result.status = spawning::exitcode(status);
    }
    closefd(pidfd);
    closefd(inpipe[1]);
    closefd(outpipe[0]);
    closefd(errpipe[0]);
    return result;
}

bool companion::start(const std::string &program, const std::vector<std::string> &args) {
    if (running) {
        failure = "already started";
        return false;
    }
    int in[2] = {-1, -1}, out[2] = {-1, -1};
    if (pipe2(in, O_CLOEXEC) < 0 || pipe2(out, O_CLOEXEC) < 0) {
        failure = std::string("pipe: ") + strerror(errno);
        for (int fd : {in[0], in[1], out[0], out[1]})
            if (fd >= 0) close(fd);
        return false;
    }
    spawning::childio io;
    io.in = in[0];
    io.out = out[1];
    io.err = 2; // what it says on standard error shows in the test's log
    child = spawning::spawn(program, args, {}, io, failure);
    close(in[0]);
    close(out[1]);
    if (child < 0) {
        close(in[1]);
        close(out[0]);
        return false;
    }
    input = in[1];
    output = out[0];
    running = true;
    return true;
}

std::string companion::readline(int timeoutms) {
    using clock = std::chrono::steady_clock;
    auto deadline = clock::now() + std::chrono::milliseconds(timeoutms);
    for (;;) {
        size_t end = buffered.find('\n');
        if (end != std::string::npos) {
            std::string line = buffered.substr(0, end);
            buffered.erase(0, end + 1);
            return line;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now());
        if (output < 0 || left.count() <= 0) return {};
        pollfd p{output, POLLIN, 0};
        if (poll(&p, 1, int(left.count())) <= 0) continue;
        char chunk[256];
        ssize_t n = read(output, chunk, sizeof chunk);
        if (n > 0)
            buffered.append(chunk, size_t(n));
        else if (n == 0 || errno != EINTR)
            return {};
    }
}

int companion::finish(int timeoutms) {
    if (!running) return -1;
    running = false;
    closefd(input);
    int status = 0, result = -1;
    for (int waited = 0;; waited += 10) {
        pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) {
            result = spawning::exitcode(status);
            break;
        }
        if (done < 0 && errno != EINTR) break;
        if (waited >= timeoutms) {
            kill(child, SIGKILL);
            while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        usleep(10000);
    }
    closefd(output);
    return result;
}

companion::~companion() { finish(); }

bool underwine() { return false; }
