// runprogram, companion and consoleprocess on Windows: CreateProcess with pipes.
//
// runprogram's child starts detached (DETACHED_PROCESS): it has no console, as
// the Linux child has no controlling terminal, so the programs' key reads fall
// back to standard input. consoleprocess gives its child a pseudo console
// instead. Only the pipe ends meant for the child are inheritable; everything
// else the test process opens is not.

// Pseudo consoles are declared for Windows 10 (1809) and later only.
#define _WIN32_WINNT 0x0A00
#define NTDDI_VERSION 0x0A000006

#include "tests/support/console_win32.h"
#include "tests/support/run.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

std::string lasterror(const std::string &what) {
    return what + ": Win32 error " + std::to_string(GetLastError());
}

// One argument as the C runtime's command-line parser reads it back:
// quoted, backslashes doubled where a quote follows them.
void appendargument(std::string &line, const std::string &arg) {
    if (!line.empty()) line += ' ';
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) {
        line += arg;
        return;
    }
    line += '"';
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            backslashes++;
            continue;
        }
        if (c == '"') backslashes = backslashes * 2 + 1;
        line.append(backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, '\\');
    line += '"';
}

// The program's file: '/' as '\', ".exe" added to a name without an
// extension, a name without a folder looked up in PATH.
std::string findprogram(const std::string &program) {
    std::string path = program;
    for (char &c : path)
        if (c == '/') c = '\\';
    size_t name = path.find_last_of("\\:");
    name = name == std::string::npos ? 0 : name + 1;
    if (path.find('.', name) == std::string::npos) path += ".exe";
    if (name == 0) {
        char found[MAX_PATH];
        DWORD n = SearchPathA(nullptr, path.c_str(), nullptr, sizeof found, found, nullptr);
        if (n > 0 && n < sizeof found) return found;
    }
    return path;
}

// The caller's environment with the changes: a block of "NAME=value\0" ending in "\0".
std::string environmentblock(const std::vector<std::string> &changes) {
    std::vector<std::string> entries;
    char *all = GetEnvironmentStringsA();
    for (const char *p = all; p != nullptr && *p != 0; p += strlen(p) + 1)
        entries.emplace_back(p);
    if (all != nullptr) FreeEnvironmentStringsA(all);
    for (const std::string &change : changes) {
        std::string name = change.substr(0, change.find('='));
        std::erase_if(entries, [&](const std::string &entry) {
            return entry.size() > name.size() && entry[name.size()] == '=' &&
                   CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, entry.data(), int(name.size()),
                                  name.data(), int(name.size())) == CSTR_EQUAL;
        });
        if (change.find('=') != std::string::npos) entries.push_back(change);
    }
    std::string block;
    for (const std::string &entry : entries) {
        block += entry;
        block += '\0';
    }
    block += '\0';
    return block;
}

void closehandle(HANDLE &h) {
    if (h != nullptr && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    h = nullptr;
}

// A pipe whose end for the child (read end when childreads) is inheritable.
bool makepipe(HANDLE &parentend, HANDLE &childend, bool childreads) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readend, writeend;
    if (!CreatePipe(&readend, &writeend, &inherit, 0)) return false;
    parentend = childreads ? writeend : readend;
    childend = childreads ? readend : writeend;
    SetHandleInformation(parentend, HANDLE_FLAG_INHERIT, 0);
    return true;
}

// Starts the program with the three handles as its standard ones: detached
// from any console, or on the pseudo console when one is given.
HANDLE startprocess(const std::string &program, const std::vector<std::string> &args,
                    const std::string &cwd, const std::vector<std::string> &env, HANDLE in,
                    HANDLE out, HANDLE err, std::string &error, HPCON console = nullptr) {
    std::string path = findprogram(program);
    std::string line;
    appendargument(line, program);
    for (const std::string &arg : args)
        appendargument(line, arg);
    std::string block = environmentblock(env);
    STARTUPINFOEXA startup = {};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = in;
    startup.StartupInfo.hStdOutput = out;
    startup.StartupInfo.hStdError = err;
    DWORD flags = DETACHED_PROCESS;
    std::vector<char> attributes;
    if (console != nullptr) {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        attributes.resize(size);
        startup.lpAttributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
        if (!InitializeProcThreadAttributeList(startup.lpAttributeList, 1, 0, &size) ||
            !UpdateProcThreadAttribute(startup.lpAttributeList, 0,
                                       PROC_THREAD_ATTRIBUTE_PSEUDOCONSOLE, console, sizeof console,
                                       nullptr, nullptr)) {
            error = lasterror("pseudo console attribute");
            return nullptr;
        }
        flags = EXTENDED_STARTUPINFO_PRESENT;
    }
    PROCESS_INFORMATION info = {};
    BOOL started =
        CreateProcessA(path.c_str(), line.data(), nullptr, nullptr, TRUE, flags, block.data(),
                       cwd.empty() ? nullptr : cwd.c_str(), &startup.StartupInfo, &info);
    if (startup.lpAttributeList != nullptr) DeleteProcThreadAttributeList(startup.lpAttributeList);
    if (!started) {
        error = lasterror(program + ": CreateProcess");
        return nullptr;
    }
    CloseHandle(info.hThread);
    return info.hProcess;
}

// CR LF as "\n": what the C runtime's text mode made of each line end.
std::string foldlineends(const std::string &text) {
    std::string folded;
    folded.reserve(text.size());
    for (size_t i = 0; i < text.size(); i++)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) folded += text[i];
    return folded;
}

void drain(HANDLE pipe, std::string *sink) {
    char buffer[65536];
    DWORD n;
    while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0)
        sink->append(buffer, n);
}

} // namespace

runresult runprogram(const std::string &program, const std::vector<std::string> &args,
                     const std::string &cwd, const std::optional<std::string> &input, int timeoutms,
                     const std::vector<std::string> &env) {
    runresult result;
    HANDLE inparent = nullptr, inchild = nullptr, outparent = nullptr, outchild = nullptr,
           errparent = nullptr, errchild = nullptr;
    bool ok = makepipe(outparent, outchild, false) && makepipe(errparent, errchild, false);
    if (ok && input) {
        ok = makepipe(inparent, inchild, true);
    } else if (ok) {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        inchild = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              OPEN_EXISTING, 0, nullptr);
        ok = inchild != INVALID_HANDLE_VALUE;
    }
    HANDLE process = nullptr;
    if (!ok)
        result.err = lasterror("pipe");
    else
        process = startprocess(program, args, cwd, env, inchild, outchild, errchild, result.err);
    closehandle(inchild);
    closehandle(outchild);
    closehandle(errchild);
    if (process == nullptr) {
        closehandle(inparent);
        closehandle(outparent);
        closehandle(errparent);
        return result;
    }

    // Input is fed and both outputs drained at once, so that no pipe fills up while
    // the program waits on another.
    std::string out, err;
    std::thread feeder;
    if (inparent != nullptr) {
        feeder = std::thread([&inparent, &input] {
            size_t written = 0;
            while (written < input->size()) {
                DWORD n = 0;
                DWORD chunk = DWORD(std::min<size_t>(input->size() - written, 65536));
                if (!WriteFile(inparent, input->data() + written, chunk, &n, nullptr)) break;
                written += n;
            }
            closehandle(inparent); // end of file for the program
        });
    }
    std::thread errreader(drain, errparent, &err);
    std::thread outreader(drain, outparent, &out);
    if (WaitForSingleObject(process, DWORD(timeoutms)) != WAIT_OBJECT_0) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, INFINITE);
        result.status = -1;
    } else {
        DWORD code = 0;
        result.status = GetExitCodeProcess(process, &code) ? int(code) : -1;
    }
    // The pipes' child ends closed with the process: the readers see end of file.
    if (feeder.joinable()) feeder.join();
    outreader.join();
    errreader.join();
    closehandle(outparent);
    closehandle(errparent);
    CloseHandle(process);
    result.out = foldlineends(out);
    result.err += foldlineends(err);
    return result;
}

bool companion::start(const std::string &program, const std::vector<std::string> &args) {
    if (running) {
        failure = "already started";
        return false;
    }
    HANDLE inchild = nullptr, outchild = nullptr, in = nullptr, out = nullptr;
    if (!makepipe(in, inchild, true) || !makepipe(out, outchild, false)) {
        failure = lasterror("pipe");
        closehandle(in);
        closehandle(inchild);
        return false;
    }
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE); // what it says shows in the test's log
    process = startprocess(program, args, {}, {}, inchild, outchild, err, failure);
    closehandle(inchild);
    closehandle(outchild);
    if (process == nullptr) {
        closehandle(in);
        closehandle(out);
        return false;
    }
    input = in;
    output = out;
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
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        if (output == nullptr || clock::now() >= deadline) return {};
        // An anonymous pipe cannot be waited on: look for bytes every few milliseconds.
        DWORD available = 0;
        if (!PeekNamedPipe(output, nullptr, 0, nullptr, &available, nullptr)) return {};
        if (available == 0) {
            Sleep(10);
            continue;
        }
        char chunk[256];
        DWORD n = 0;
        if (!ReadFile(output, chunk, std::min<DWORD>(available, sizeof chunk), &n, nullptr))
            return {};
        buffered.append(chunk, n);
    }
}

int companion::finish(int timeoutms) {
    if (!running) return -1;
    running = false;
    HANDLE in = input, out = output;
    closehandle(in);
    int result = -1;
    if (WaitForSingleObject(process, DWORD(timeoutms)) == WAIT_OBJECT_0) {
        DWORD code = 0;
        if (GetExitCodeProcess(process, &code)) result = int(code);
    } else {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, INFINITE);
    }
    closehandle(out);
    CloseHandle(process);
    input = output = process = nullptr;
    return result;
}

companion::~companion() {
    finish();
}

bool consoleprocess::start(const std::string &program, const std::vector<std::string> &args) {
    if (process != nullptr) {
        failure = "already started";
        return false;
    }
    // The console reads its keys from one pipe and draws on another, which a
    // thread of the console host's own must be able to write to at all times.
    HANDLE keysin = nullptr, keysout = nullptr, screenin = nullptr, screenout = nullptr;
    HANDLE out = nullptr, outchild = nullptr;
    if (!CreatePipe(&keysin, &keysout, nullptr, 0) ||
        !CreatePipe(&screenin, &screenout, nullptr, 0) || !makepipe(out, outchild, false)) {
        failure = lasterror("pipe");
        for (HANDLE h : {keysin, keysout, screenin, screenout, out, outchild})
            closehandle(h);
        return false;
    }
    HPCON pc = nullptr;
    HRESULT hr = CreatePseudoConsole(COORD{120, 40}, keysin, screenout, 0, &pc);
    closehandle(keysin);
    closehandle(screenout);
    if (FAILED(hr)) {
        failure = "CreatePseudoConsole: " + std::to_string((unsigned long)hr);
        for (HANDLE h : {keysout, screenin, out, outchild})
            closehandle(h);
        return false;
    }
    console = pc;
    keys = keysout;
    output = out;
    // What the console draws is read and dropped (the tests look at standard
    // output) until the console host ends and closes its end of the pipe.
    std::thread([screenin] {
        char buffer[4096];
        DWORD n;
        while (ReadFile(screenin, buffer, sizeof buffer, &n, nullptr) && n > 0) {
        }
        CloseHandle(screenin);
    }).detach();
    process = startprocess(program, args, {}, {}, nullptr, outchild, outchild, failure, pc);
    closehandle(outchild);
    if (process == nullptr) {
        closeconsole();
        return false;
    }
    return true;
}

bool consoleprocess::type(std::string_view key) {
    DWORD n = 0;
    return keys != nullptr && WriteFile(keys, key.data(), DWORD(key.size()), &n, nullptr) &&
           n == key.size();
}

bool consoleprocess::readmore(int timeoutms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutms);
    while (output != nullptr) {
        DWORD available = 0;
        if (!PeekNamedPipe(output, nullptr, 0, nullptr, &available, nullptr)) return false;
        if (available > 0) {
            char buffer[4096];
            DWORD n = 0;
            if (!ReadFile(output, buffer, std::min<DWORD>(available, sizeof buffer), &n, nullptr))
                return false;
            collected.append(buffer, n);
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        Sleep(10);
    }
    return false;
}

bool consoleprocess::waitout(std::string_view text, int timeoutms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutms);
    while (out().find(text) == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !readmore(int(left.count()))) return false;
    }
    return true;
}

std::string consoleprocess::out() {
    return foldlineends(collected);
}

int consoleprocess::wait(int timeoutms) {
    if (process == nullptr) return -1;
    int result = -1;
    if (WaitForSingleObject(process, DWORD(timeoutms)) == WAIT_OBJECT_0) {
        DWORD code = 0;
        if (GetExitCodeProcess(process, &code)) result = int(code);
    } else {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, INFINITE);
    }
    while (readmore(0)) {
    }
    CloseHandle(process);
    process = nullptr;
    closeconsole();
    return result;
}

void consoleprocess::closeconsole() {
    HANDLE h = keys;
    closehandle(h);
    h = output;
    closehandle(h);
    keys = output = nullptr;
    // Closing the console ends its host, which closes the screen pipe: the
    // reader thread ends with it.
    if (console != nullptr) ClosePseudoConsole(static_cast<HPCON>(console));
    console = nullptr;
}

consoleprocess::~consoleprocess() {
    if (process != nullptr) wait(0);
    closeconsole();
}

// Wine's ntdll exports its version; Windows' does not.
bool underwine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
