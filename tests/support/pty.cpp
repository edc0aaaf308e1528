#include "tests/support/pty.h"

#include "tests/support/run.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

int msleft(clock::time_point deadline) {
    auto left = std::chrono::duration_cast<milliseconds>(deadline - clock::now()).count();
    return int(std::clamp<long long>(left, 0, 1 << 30));
}

bool writeall(int fd, std::string_view bytes, clock::time_point deadline) {
    while (!bytes.empty()) {
        ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(size_t(n));
        } else if (n < 0 && errno == EAGAIN) {
            if (msleft(deadline) == 0) return false;
            pollfd out{fd, POLLOUT, 0};
            poll(&out, 1, std::min(msleft(deadline), 50));
        } else if (n < 0 && errno != EINTR) {
            return false;
        }
    }
    return true;
}

void closefd(int &fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

} // namespace

bool ptyprocess::start(const std::string &program, const std::vector<std::string> &args,
                       const ptyoptions &options) {
    if (master >= 0 || child > 0) {
        failure = "already started";
        return false;
    }
    int slave = -1;
    auto fail = [&](const std::string &what) {
        if (failure.empty()) failure = what + ": " + strerror(errno);
        closefd(slave);
        closefd(master);
        closefd(wakefd);
        return false;
    };
    master = open("/dev/ptmx", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) return fail("/dev/ptmx");
    if (unlockpt(master) < 0) return fail("unlockpt");
    slave = ioctl(master, TIOCGPTPEER, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) return fail("open pty slave");

    termios mode;
    if (tcgetattr(slave, &mode) < 0) return fail("tcgetattr");
    mode.c_cc[VERASE] = options.erasebackspace ? 0x08 : 0x7f;
    // Packet mode reports only switches of IXON flow control with ^Q/^S, so cooked mode
    // must have it for each raw-mode entry to be seen.
    mode.c_iflag |= IXON;
    mode.c_cc[VSTART] = 0x11;
    mode.c_cc[VSTOP] = 0x13;
    if (tcsetattr(slave, TCSANOW, &mode) < 0) return fail("tcsetattr");
    winsize size{};
    size.ws_row = (unsigned short)options.rows;
    size.ws_col = (unsigned short)options.cols;
    if (ioctl(slave, TIOCSWINSZ, &size) < 0) return fail("TIOCSWINSZ");
    int on = 1;
    if (ioctl(master, TIOCPKT, &on) < 0) return fail("TIOCPKT");
    if (fcntl(master, F_SETFL, O_NONBLOCK) < 0) return fail("O_NONBLOCK");
    wakefd = eventfd(0, EFD_CLOEXEC);
    if (wakefd < 0) return fail("eventfd");

    spawning::childio io;
    io.in = io.out = io.err = io.ctty = slave;
    io.cwd = options.cwd;
    io.stdoutfile = options.stdoutfile;
    child = spawning::spawn(program, args, options.env, io, failure);
    if (child < 0) return fail("spawn");
    closefd(slave); // the master reports end of output only once the child's copies close
    pidfd = spawning::openpidfd(child);
    reader = std::thread(&ptyprocess::readloop, this);
    return true;
}

void ptyprocess::readloop() {
    char buffer[4097];
    for (;;) {
        pollfd fds[2] = {{master, POLLIN | POLLPRI, 0}, {wakefd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) break;
        if (fds[1].revents) break;
        {
            std::lock_guard guard(lock);
            reading = true;
        }
        ssize_t n = read(master, buffer, sizeof buffer);
        std::lock_guard guard(lock);
        reading = false;
        if (n > 0 && buffer[0] == TIOCPKT_DATA) {
            raw.append(buffer + 1, size_t(n - 1));
            for (ssize_t i = 1; i < n; ++i) {
                char c = buffer[i];
                if (c == '\r') {
                    ++pendingcr;
                } else {
                    if (c != '\n') folded.append(pendingcr, '\r');
                    pendingcr = 0;
                    folded += c;
                }
            }
        } else if (n > 0) {
            // A status packet; NOSTOP means IXON went off: the program entered raw mode.
            if (buffer[0] & TIOCPKT_NOSTOP) ++rawentries;
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            closed = true; // EIO: every slave descriptor is closed and the output drained
        }
        changed.notify_all();
        if (closed) return;
    }
    std::lock_guard guard(lock);
    closed = true;
    changed.notify_all();
}

bool ptyprocess::type(std::string_view key, int timeoutms) {
    if (child < 0) return false;
    auto deadline = clock::now() + milliseconds(timeoutms);
    for (;;) {
        if (reap(false)) return false;
        // A status not yet read (or read but not yet counted) may be the entry we wait
        // for, or show that the mode changed since; either way look again.
        pollfd status{master, POLLPRI, 0};
        bool pending = poll(&status, 1, 0) > 0 && (status.revents & POLLPRI);
        termios mode;
        bool rawmode = tcgetattr(master, &mode) == 0 && !(mode.c_lflag & (ECHO | ICANON));
        std::unique_lock guard(lock);
        if (closed) return false;
        // Wait for a raw-mode entry after the last key: the old read may not yet have
        // restored cooked mode, and a key arriving then would be echoed.
        if (!pending && !reading && rawmode && rawentries > usedentries) {
            usedentries = rawentries;
            break;
        }
        if (msleft(deadline) == 0) return false;
        changed.wait_for(guard, milliseconds(5));
    }
    if (!writeall(master, key, deadline)) return false;
    // A program takes ESC followed at once by more bytes for an escape sequence.
    if (key == "\x1b") std::this_thread::sleep_for(milliseconds(150));
    return true;
}

bool ptyprocess::typekeys(std::initializer_list<std::string_view> keys) {
    for (std::string_view key : keys)
        if (!type(key)) return false;
    return true;
}

bool ptyprocess::typetext(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i)
        if (!type(text.substr(i, 1))) return false;
    return true;
}

bool ptyprocess::sendraw(std::string_view bytes) {
    return master >= 0 && writeall(master, bytes, clock::now() + milliseconds(5000));
}

std::string ptyprocess::screen() {
    std::lock_guard guard(lock);
    return folded + std::string(pendingcr, '\r');
}

std::string ptyprocess::rawoutput() {
    std::lock_guard guard(lock);
    return raw;
}

bool ptyprocess::waitfor(std::string_view text, int timeoutms) {
    return waitafter(0, text, timeoutms);
}

bool ptyprocess::waitafter(std::size_t offset, std::string_view text, int timeoutms) {
    auto found = [&] {
        std::string shown = folded + std::string(pendingcr, '\r');
        return offset <= shown.size() && shown.find(text, offset) != std::string::npos;
    };
    std::unique_lock guard(lock);
    changed.wait_until(guard, clock::now() + milliseconds(timeoutms),
                       [&] { return closed || found(); });
    return found();
}

bool ptyprocess::reap(bool block) {
    if (reaped || child < 0) return reaped;
    int waitstatus;
    pid_t done;
    do
        done = waitpid(child, &waitstatus, block ? 0 : WNOHANG);
    while (done < 0 && errno == EINTR);
    if (done == child) {
        reaped = true;
        status = spawning::exitcode(waitstatus);
    }
    return reaped;
}

int ptyprocess::wait(int timeoutms) {
    if (child < 0) return -1;
    auto deadline = clock::now() + milliseconds(timeoutms);
    while (!reap(false)) {
        if (msleft(deadline) == 0) {
            kill(-child, SIGKILL); // the program and whatever it started
            kill(child, SIGKILL);
            reap(true);
            status = -1;
            break;
        }
        // Without a pidfd the exit is noticed by checking every few milliseconds.
        pollfd exit{pidfd, POLLIN, 0};
        poll(&exit, pidfd >= 0 ? 1 : 0, pidfd >= 0 ? msleft(deadline) : 10);
    }
    // The rest of the output is still on its way; it ends when the last slave descriptor
    // closes, which a process the program left behind may delay: do not wait for it long.
    std::unique_lock guard(lock);
    changed.wait_for(guard, milliseconds(2000), [&] { return closed; });
    return status;
}

bool ptyprocess::running() {
    return child > 0 && !reap(false);
}

ptyprocess::~ptyprocess() {
    if (child > 0 && !reaped) {
        kill(-child, SIGKILL);
        kill(child, SIGKILL);
        reap(true);
    }
    if (reader.joinable()) {
        uint64_t one = 1;
        ssize_t ignored = write(wakefd, &one, sizeof one);
        (void)ignored;
        reader.join();
    }
    closefd(master);
    closefd(wakefd);
    closefd(pidfd);
}
