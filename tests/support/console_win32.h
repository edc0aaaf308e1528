// Drives a console program through a pseudo console, Windows' counterpart of a pseudo-terminal:
// keys go into the console as a terminal's bytes (escape sequences for the cursor and function
// keys), which the console turns into key events; standard output is a pipe of its own, so what
// the program prints stays apart from what the console shows. Windows only (run_win32.cpp).
#pragma once

#include <string>
#include <string_view>
#include <vector>

class consoleprocess {
  public:
    consoleprocess() = default;
    consoleprocess(const consoleprocess &) = delete;
    consoleprocess &operator=(const consoleprocess &) = delete;
    ~consoleprocess(); // kills the program if it still runs

    // Starts program with args (as runprogram finds it) on a new pseudo console. False if it
    // could not start (why: error()).
    bool start(const std::string &program, const std::vector<std::string> &args);
    // Writes the bytes of one key in one write. Keys typed ahead wait in the console's input.
    bool type(std::string_view key);
    // Waits until standard output holds text; false on timeout or when the program ended
    // without printing it. Standard output with each CR LF as "\n".
    bool waitout(std::string_view text, int timeoutms = 5000);
    std::string out();
    // Exit code; -1 when it had to be killed after timeoutms.
    int wait(int timeoutms = 10000);
    const std::string &error() const { return failure; }

  private:
    void *console = nullptr, *process = nullptr, *keys = nullptr, *output = nullptr;
    std::string failure, collected;
    bool readmore(int timeoutms); // more of standard output; false at its end or on timeout
    void closeconsole();
};
