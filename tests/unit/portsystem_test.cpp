// The platform layer's named mutexes, time and system facts, and the opens
// that refuse links, as logonx relies on them. The same cases run against
// Windows itself, which shows where the layer follows it.
#include "port/win32.h"
#include "tests/support/logonxtest.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <string>
#include <thread>
#ifdef _WIN32
#include <process.h>
#else
#include <glob.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#endif

namespace {

// A mutex name no other test run shares.
std::string uniquename(const char *what) {
    return std::string("porttest/") + what + " " + processtext();
}

#ifndef _WIN32
// The lock files of this run's mutexes ("porttest/... PID", written
// "porttest%2F...%20PID") go when the run ends.
struct lockfilesweeper : testing::Environment {
    void TearDown() override {
        std::string pattern = "/tmp/.win32mutex-porttest%2F*%20" + processtext();
        glob_t found;
        if (glob(pattern.c_str(), 0, nullptr, &found) == 0)
            for (size_t k = 0; k < found.gl_pathc; k++)
                unlink(found.gl_pathv[k]);
        globfree(&found);
    }
};
testing::Environment *const sweeper = testing::AddGlobalTestEnvironment(new lockfilesweeper);
#endif

} // namespace

TEST(PortMutex, OwnershipIsRecursiveAndChecked) {
    HANDLE m = CreateMutexA(nullptr, FALSE, uniquename("recursive").c_str());
    ASSERT_NE(m, nullptr);
    EXPECT_FALSE(ReleaseMutex(m)); // not owned yet
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_OWNER);
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
    // Another thread of the process waits for the owner.
    DWORD other = 0;
    std::thread([&] { other = WaitForSingleObject(m, 50); }).join();
    EXPECT_EQ(other, WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_FALSE(ReleaseMutex(m));
    std::thread([&] {
        other = WaitForSingleObject(m, 0);
        ReleaseMutex(m);
    }).join();
    EXPECT_EQ(other, WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(m));
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
}

TEST(PortMutex, SharedBetweenProcessesWithATimeOut) {
    const std::string name = uniquename("shared");
    mutexholder h;
    ASSERT_TRUE(h.hold(name, mutexholder::releasing));
    HANDLE m = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(m, nullptr);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(m, 200), WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_TIMEOUT);
    // A release hands it over to a waiter, not abandoned.
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        h.end();
    });
    EXPECT_EQ(WaitForSingleObject(m, 5000), WAIT_OBJECT_0);
    later.join();
    EXPECT_TRUE(ReleaseMutex(m));
    CloseHandle(m);
}

TEST(PortMutex, DeadOwnerLeavesItAbandoned) {
    const std::string name = uniquename("abandoned");
    mutexholder h;
    ASSERT_TRUE(h.hold(name, mutexholder::abandoning));
    HANDLE m = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(m, nullptr);
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        h.end(); // it ends still owning the mutex
    });
    EXPECT_EQ(WaitForSingleObject(m, 10000), WAIT_ABANDONED);
    later.join();
    // Abandoned is owned: released normally, the next owner finds it clean.
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(m));
    CloseHandle(m);
}

TEST(PortMutex, Names) {
    // Characters a file name cannot hold are no obstacle; names stay distinct.
    const std::string aname = uniquename("a/b:c*");
    HANDLE a = CreateMutexA(nullptr, FALSE, aname.c_str());
    HANDLE b = CreateMutexA(nullptr, FALSE, uniquename("a%2Fb:c*").c_str());
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_OBJECT_0);
    // A backslash ends a namespace: "Local\" is where names without one
    // are, so it names the same mutex, which another thread finds taken.
    HANDLE local = CreateMutexA(nullptr, FALSE, ("Local\\" + aname).c_str());
    ASSERT_NE(local, nullptr);
    DWORD other = 0;
    std::thread([&] { other = WaitForSingleObject(local, 0); }).join();
    EXPECT_EQ(other, WAIT_TIMEOUT);
    CloseHandle(local);
    // No other namespace is there.
    SetLastError(0);
    EXPECT_EQ(CreateMutexA(nullptr, FALSE, uniquename("a\\b").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
    ReleaseMutex(a);
    ReleaseMutex(b);
    CloseHandle(a);
    CloseHandle(b);
#ifndef _WIN32
    // Every user's programs find them under the same names in /tmp.
    const std::string pid = processtext();
    struct stat st;
    EXPECT_EQ(stat(("/tmp/.win32mutex-porttest%2Fa%2Fb%3Ac%2A%20" + pid).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u);
    EXPECT_EQ(stat(("/tmp/.win32mutex-porttest%2Fa%252Fb%3Ac%2A%20" + pid).c_str(), &st), 0);
#endif
    // Unnamed: this process's own, each one apart.
    HANDLE u1 = CreateMutexA(nullptr, TRUE, nullptr);
    HANDLE u2 = CreateMutexA(nullptr, FALSE, nullptr);
    ASSERT_NE(u1, nullptr);
    ASSERT_NE(u2, nullptr);
    EXPECT_TRUE(ReleaseMutex(u1)); // initial ownership
    EXPECT_EQ(WaitForSingleObject(u2, 0), WAIT_OBJECT_0);
    CloseHandle(u1);
    CloseHandle(u2);
    EXPECT_EQ(CreateMutexA(nullptr, FALSE, std::string(300, 'n').c_str()), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILENAME_EXCED_RANGE);
}

TEST(PortFiles, OpenReparsePointRefusesLinks) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows opens the link itself under the flag (logonx then checks its "
                    "attributes), and Wine makes no symbolic links";
#else
    tempdir dir;
    std::string file = dir.file("file"), link = dir.file("link"), dangling = dir.file("dangling");
    writefile(file, "data");
    ASSERT_EQ(symlink(file.c_str(), link.c_str()), 0);
    ASSERT_EQ(symlink(dir.file("nothing").c_str(), dangling.c_str()), 0);
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
    for (const std::string &path : {link, dangling})
        for (DWORD disposition : {(DWORD)OPEN_EXISTING, (DWORD)OPEN_ALWAYS, (DWORD)CREATE_ALWAYS}) {
            HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   disposition, flags, nullptr);
            EXPECT_EQ(h, INVALID_HANDLE_VALUE) << path << ' ' << disposition;
        }
    EXPECT_EQ(readfile(file), "data");
    struct stat st;
    EXPECT_NE(stat(dir.file("nothing").c_str(), &st), 0);
    // Without the flag a link is followed, as before.
    HANDLE h = CreateFileA(link.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileType(h), FILE_TYPE_DISK);
    CloseHandle(h);
#endif
}

TEST(PortFiles, FileTypes) {
    struct row {
        std::string path;
        DWORD type;
    };
#ifdef _WIN32
    // A named pipe's server end, so that its name opens as a pipe.
    const std::string pipe = "\\\\.\\pipe\\porttest-" + processtext();
    HANDLE server = CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_DUPLEX, 0, 1, 0, 0, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    const row rows[] = {{pipe, FILE_TYPE_PIPE}, {"NUL", FILE_TYPE_CHAR}};
#else
    tempdir dir;
    std::string fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const row rows[] = {{fifo, FILE_TYPE_PIPE}, {"/dev/null", FILE_TYPE_CHAR}};
#endif
    for (const row &r : rows) {
        HANDLE h = CreateFileA(r.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << r.path;
        EXPECT_EQ(GetFileType(h), r.type) << r.path;
        CloseHandle(h);
    }
    EXPECT_EQ(GetFileType(INVALID_HANDLE_VALUE), FILE_TYPE_UNKNOWN);
#ifdef _WIN32
    CloseHandle(server);
#endif
}

TEST(PortSystem, TimeAndIdentifiers) {
    time_t before = time(nullptr);
    SYSTEMTIME st;
    GetLocalTime(&st);
    time_t after = time(nullptr);
    struct tm local = localtm(before);
    bool same = st.wYear == local.tm_year + 1900 && st.wMonth == local.tm_mon + 1 &&
                st.wDay == local.tm_mday && st.wDayOfWeek == local.tm_wday &&
                st.wHour == local.tm_hour && st.wMinute == local.tm_min &&
                st.wSecond == local.tm_sec;
    if (!same && after != before) { // the second turned: compare with the later one
        local = localtm(after);
        same = st.wMinute == local.tm_min && st.wSecond == local.tm_sec;
    }
    EXPECT_TRUE(same);
    EXPECT_LT(st.wMilliseconds, 1000);

#ifdef _WIN32
    EXPECT_EQ(GetCurrentProcessId(), (DWORD)_getpid());
#else
    EXPECT_EQ(GetCurrentProcessId(), (DWORD)getpid());
#endif
    DWORD main = GetCurrentThreadId(), other = 0;
    std::thread([&] { other = GetCurrentThreadId(); }).join();
    EXPECT_NE(main, other);
    EXPECT_EQ(main, GetCurrentThreadId());
}

TEST(PortSystem, DiskAndMemory) {
    // The disk logonx asks about, against the figures of the system's own.
    DWORD sectors = 0, bytes = 0, freeclusters = 0, clusters = 0;
#ifdef _WIN32
    const char *root = "c:\\", *nowhere = "c:\\no\\such\\folder\\";
    ASSERT_TRUE(GetDiskFreeSpaceA(root, &sectors, &bytes, &freeclusters, &clusters));
    ASSERT_GT(sectors * bytes, 0u);
    ULARGE_INTEGER available, total, free;
    ASSERT_TRUE(GetDiskFreeSpaceExA(root, &available, &total, &free));
    const unsigned long long clustersize = (unsigned long long)sectors * bytes,
                             allclusters = total.QuadPart / clustersize;
#else
    const char *root = "/", *nowhere = "/no/such/folder";
    ASSERT_TRUE(GetDiskFreeSpaceA(root, &sectors, &bytes, &freeclusters, &clusters));
    struct statvfs vfs;
    ASSERT_EQ(statvfs(root, &vfs), 0);
    const unsigned long long clustersize = (unsigned long long)sectors * bytes,
                             allclusters = vfs.f_blocks;
    EXPECT_EQ(clustersize, (unsigned long long)vfs.f_frsize);
#endif
    EXPECT_EQ(clusters, (DWORD)std::min<unsigned long long>(allclusters, 0xFFFFFFFFull));
    EXPECT_LE(freeclusters, clusters);
    SetLastError(0);
    EXPECT_FALSE(GetDiskFreeSpaceA(nowhere, &sectors, &bytes, &freeclusters, &clusters));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);

    MEMORYSTATUS ms;
    ms.dwLength = sizeof ms;
    GlobalMemoryStatus(&ms);
    EXPECT_GT(ms.dwTotalPhys, 0u);
    EXPECT_GT(ms.dwAvailPhys, 0u);
    EXPECT_LE(ms.dwAvailPhys, ms.dwTotalPhys);
    EXPECT_LE(ms.dwMemoryLoad, 100u);
    EXPECT_GE(ms.dwTotalPageFile, ms.dwTotalPhys);
}
