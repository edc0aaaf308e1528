// Drives a console program through a pseudo-terminal as a user at a keyboard would.
// Linux only.
//
// The programs read each key from /dev/tty in raw mode and return the terminal to cooked
// mode with echo right after; a key arriving in between would be echoed and spoil the
// screen. So type() writes a key only once the program has entered raw mode anew for its
// next read: the pty runs in packet mode, which reports every switch of IXON (off in raw
// mode), and tcgetattr() on the master must show ECHO and ICANON off.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <initializer_list>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>
#include <sys/types.h>

struct ptyoptions {
    std::string cwd;              // working folder of the program; empty: the caller's
    std::string stdoutfile;       // empty: standard output is the terminal; otherwise this
                                  // file, created or truncated (a relative name is under cwd)
    bool erasebackspace = false;  // VERASE is ^H (0x08) instead of DEL (0x7f)
    int cols = 200, rows = 50;    // window size
    std::vector<std::string> env; // "NAME=value" sets, "NAME" removes, on top of the caller's
};

class ptyprocess {
  public:
    ptyprocess() = default;
    ptyprocess(const ptyprocess &) = delete;
    ptyprocess &operator=(const ptyprocess &) = delete;
    ~ptyprocess(); // kills the process group if the program still runs, reaps, closes

    // Starts program with args (no shell; a name without '/' is looked up in PATH) on a new
    // pty that becomes its controlling terminal and its standard input, output and error.
    // False if it could not start (why: error()). One start per object.
    bool start(const std::string &program, const std::vector<std::string> &args,
               const ptyoptions &options = {});

    // Writes one key (a byte or a whole escape sequence) in one write() once the program
    // waits for a key in raw mode. False on timeout or when the program has exited. A lone
    // ESC is followed by a 150 ms pause so that it is not taken as a sequence's start.
    bool type(std::string_view key, int timeoutms = 5000);
    bool typekeys(std::initializer_list<std::string_view> keys); // in order; stops at a failure
    bool typetext(std::string_view text);                        // each byte as its own key
    // Writes bytes at once, whatever the terminal's mode (e.g. for a cooked-mode line read).
    bool sendraw(std::string_view bytes);

    // Everything the terminal showed so far. A line end ("\r\n", or several CRs before LF)
    // reads as "\n"; all other bytes are kept, e.g. "\b \b", BEL and a lone "\r".
    std::string screen();
    std::string rawoutput(); // the same, byte for byte as the terminal received it
    // Waits until screen() contains text; false on timeout, or when the terminal closed
    // without showing it.
    bool waitfor(std::string_view text, int timeoutms = 5000);
    // The same, looking only at screen() from offset on: take screen().size() before a
    // key to wait for the reply to that key and not an earlier copy of the same text.
    bool waitafter(std::size_t offset, std::string_view text, int timeoutms = 5000);

    // Exit code (128 + signal if a signal ended it). On timeout kills the process group and
    // returns -1. Also lets the rest of the output arrive before returning.
    int wait(int timeoutms = 10000);
    bool running();
    pid_t pid() const { return child; }
    const std::string &error() const { return failure; }

  private:
    bool reap(bool block); // true once the child has been reaped
    void readloop();       // the reader thread: drains the master until the slave closes

    int master = -1, wakefd = -1, pidfd = -1;
    pid_t child = -1;
    bool reaped = false;
    int status = -1;
    std::string failure;
    unsigned long usedentries = 0; // raw-mode entries seen when the last key was written

    std::thread reader;
    std::mutex lock; // guards what the reader thread fills in below
    std::condition_variable changed;
    std::string raw, folded;
    std::size_t pendingcr = 0;    // CRs at the end of raw not yet folded
    unsigned long rawentries = 0; // times the packet mode reported IXON switched off
    bool reading = false;         // the reader took bytes not yet accounted for
    bool closed = false;          // end of output: every slave descriptor is closed
};

// The bytes a terminal sends for each key.
namespace keys {
inline constexpr std::string_view enter = "\r";
inline constexpr std::string_view backspace = "\x7f";
inline constexpr std::string_view ctrlh = "\x08"; // Backspace when erasebackspace is set
inline constexpr std::string_view ctrlc = "\x03";
inline constexpr std::string_view ctrld = "\x04";
inline constexpr std::string_view ctrlz = "\x1a";
inline constexpr std::string_view esc = "\x1b";
inline constexpr std::string_view tab = "\t";
inline constexpr std::string_view up = "\x1b[A";
inline constexpr std::string_view down = "\x1b[B";
inline constexpr std::string_view right = "\x1b[C";
inline constexpr std::string_view left = "\x1b[D";
inline constexpr std::string_view home = "\x1b[H";
inline constexpr std::string_view end = "\x1b[F";
inline constexpr std::string_view insert = "\x1b[2~";
inline constexpr std::string_view del = "\x1b[3~";
inline constexpr std::string_view pgup = "\x1b[5~";
inline constexpr std::string_view pgdn = "\x1b[6~";
inline constexpr std::string_view f1 = "\x1bOP";
inline constexpr std::string_view f2 = "\x1bOQ";
inline constexpr std::string_view f3 = "\x1bOR";
inline constexpr std::string_view f4 = "\x1bOS";
inline constexpr std::string_view f5 = "\x1b[15~";
inline constexpr std::string_view f6 = "\x1b[17~";
inline constexpr std::string_view f7 = "\x1b[18~";
inline constexpr std::string_view f8 = "\x1b[19~";
inline constexpr std::string_view f9 = "\x1b[20~";
inline constexpr std::string_view f10 = "\x1b[21~";
inline constexpr std::string_view f11 = "\x1b[23~";
inline constexpr std::string_view f12 = "\x1b[24~";
} // namespace keys
