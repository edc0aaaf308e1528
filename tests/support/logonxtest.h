// Helpers of the logonx tests (its routines and the platform layer's mutexes
// and system facts): names of this run, local time, and a named mutex held by
// another process.
#pragma once

#include "port/win32.h"
#include "tests/support/run.h"

#include <ctime>
#include <string>

// This process's id as text: part of the names that no other test run shares.
inline std::string processtext() {
    return std::to_string((unsigned long)GetCurrentProcessId());
}

// The C library's local time of t.
inline struct tm localtm(time_t t) {
    struct tm local = {};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return local;
}

// A named mutex held by another process, the holdmutex program, until end():
// then it is released, or abandoned as by a holder that dies.
class mutexholder {
  public:
    enum how { releasing, abandoning };
    // True once the other process owns the mutex.
    bool hold(const std::string &name, how at) {
        return process.start(SUITE_BIN_DIR "/holdmutex",
                             {name, at == releasing ? "release" : "abandon"}) &&
               process.readline(30000) == "held";
    }
    // Lets it go as told and waits for the process: its exit code.
    int end() { return process.finish(30000); }

  private:
    companion process;
};
