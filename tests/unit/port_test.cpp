// The Win32 file calls of the platform layer: error numbers, share modes,
// dispositions and 64-bit positions, as the programs rely on them.
#include "port/win32.h"
#include "tests/support/run.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

HANDLE openfile(const std::string &path, DWORD access, DWORD share, DWORD disposition = OPEN_EXISTING) {
    return CreateFileA(path.c_str(), access, share, nullptr, disposition, 0, nullptr);
}

constexpr DWORD R = GENERIC_READ, W = GENERIC_WRITE, RW = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE, SRW = FILE_SHARE_READ | FILE_SHARE_WRITE;

} // namespace

TEST(PortFiles, OpenErrors) {
    tempdir dir;
    writefile(dir.path() + "/file", "x");
    struct row {
        std::string name;
        DWORD disposition;
        DWORD error;
    };
    const row rows[] = {
        {"/missing", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {"/nofolder/missing", OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {"/nofolder/new", CREATE_NEW, ERROR_PATH_NOT_FOUND},
        {"/file/below", OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {"", OPEN_EXISTING, ERROR_ACCESS_DENIED}, // the folder itself
        {"/file", CREATE_NEW, ERROR_FILE_EXISTS},
    };
    for (const row &r : rows) {
        SetLastError(0);
        HANDLE h = openfile(dir.path() + r.name, R, SR, r.disposition);
        EXPECT_EQ(h, INVALID_HANDLE_VALUE) << r.name;
        EXPECT_EQ(GetLastError(), r.error) << r.name;
    }
    EXPECT_EQ(openfile("", R, SR), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
}

TEST(PortFiles, ShareModesBetweenTwoOpens) {
    tempdir dir;
    std::string path = dir.path() + "/f";
    writefile(path, "data");
    struct row {
        DWORD access1, share1, access2, share2;
        bool second;
    };
    const row rows[] = {
        {R, SR, R, SR, true},    // readers sharing reads
        {R, SR, W, SRW, false},  // the first does not share writing
        {R, SRW, W, SRW, true},
        {W, SR, R, SR, false},   // the second does not share the first's writing
        {W, SR, R, SRW, true},
        {W, SW, W, SW, true},
        {RW, SW, R, SRW, false}, // the first does not share reading
        {R, 0, R, SRW, false},   // share mode 0: nobody else at all
        {R, SRW, R, 0, false},   // exclusive while another open exists
        {0, 0, RW, 0, true},     // no access: nothing to conflict with
    };
    for (const row &r : rows) {
        HANDLE first = openfile(path, r.access1, r.share1);
        ASSERT_NE(first, INVALID_HANDLE_VALUE);
        HANDLE second = openfile(path, r.access2, r.share2);
        EXPECT_EQ(second != INVALID_HANDLE_VALUE, r.second)
            << std::hex << r.access1 << '/' << r.share1 << " then " << r.access2 << '/' << r.share2;
        if (second == INVALID_HANDLE_VALUE) EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
        else CloseHandle(second);
        CloseHandle(first);
        // Closing releases the file for everybody.
        HANDLE again = openfile(path, RW, 0);
        EXPECT_NE(again, INVALID_HANDLE_VALUE);
        CloseHandle(again);
    }
}

TEST(PortFiles, RefusedReplaceLeavesTheFileWhole) {
    tempdir dir;
    std::string path = dir.path() + "/f";
    writefile(path, "precious");
    HANDLE holder = openfile(path, R, SR);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(openfile(path, W, SR, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    CloseHandle(holder);
    EXPECT_EQ(readfile(path), "precious");
}

TEST(PortFiles, DispositionsReportAnExistingFile) {
    tempdir dir;
    std::string path = dir.path() + "/f";
    for (DWORD disposition : {OPEN_ALWAYS, CREATE_ALWAYS}) {
        remove(path.c_str());
        HANDLE h = openfile(path, RW, 0, disposition);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
        DWORD n;
        ASSERT_TRUE(WriteFile(h, "abc", 3, &n, nullptr));
        CloseHandle(h);
        h = openfile(path, RW, 0, disposition);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
        CloseHandle(h);
        EXPECT_EQ(readfile(path), disposition == OPEN_ALWAYS ? "abc" : "");
    }
}

TEST(PortFiles, ReadWriteNeedTheirAccess) {
    tempdir dir;
    std::string path = dir.path() + "/f";
    writefile(path, "hello");
    char buffer[16];
    DWORD n = 99;
    HANDLE r = openfile(path, R, SRW);
    EXPECT_FALSE(WriteFile(r, "x", 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_EQ(n, 0u);
    ASSERT_TRUE(ReadFile(r, buffer, sizeof buffer, &n, nullptr));
    EXPECT_EQ(std::string(buffer, n), "hello");
    ASSERT_TRUE(ReadFile(r, buffer, sizeof buffer, &n, nullptr)); // at the end: 0 bytes, success
    EXPECT_EQ(n, 0u);
    CloseHandle(r);

    HANDLE w = openfile(path, W, SRW);
    EXPECT_FALSE(ReadFile(w, buffer, sizeof buffer, &n, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    CloseHandle(w);

    SetLastError(0);
    EXPECT_FALSE(ReadFile(INVALID_HANDLE_VALUE, buffer, sizeof buffer, &n, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    // INVALID_HANDLE_VALUE is also the current process's own handle, which
    // Windows "closes" without effect: a program's cleanup of a failed open
    // must not report an error.
    EXPECT_TRUE(CloseHandle(INVALID_HANDLE_VALUE));
}

TEST(PortFiles, PositionsAndSizesPast4GB) {
    tempdir dir;
    std::string path = dir.path() + "/sparse";
    HANDLE h = openfile(path, RW, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    // 5 GB + 3 with the high word; a sparse file keeps this cheap. A result
    // other than 0xFFFFFFFF is success by itself: the last error stays as it was.
    LONG high = 1;
    SetLastError(77);
    EXPECT_EQ(SetFilePointer(h, 0x40000003, &high, FILE_BEGIN), 0x40000003u);
    EXPECT_EQ(GetLastError(), 77u);
    EXPECT_EQ(high, 1);
    DWORD n;
    ASSERT_TRUE(WriteFile(h, "z", 1, &n, nullptr));
    DWORD sizehigh = 0;
    EXPECT_EQ(GetFileSize(h, &sizehigh), 0x40000004u);
    EXPECT_EQ(sizehigh, 1u);
    EXPECT_EQ(GetLastError(), 77u);

    // 0xFFFFFFFF is a valid low word: success shows in GetLastError, for
    // positions and (below) for sizes.
    high = 0;
    EXPECT_EQ(SetFilePointer(h, (LONG)0xFFFFFFFF, &high, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);

    // Relative moves: to the end, then back before the start.
    high = 0;
    EXPECT_EQ(SetFilePointer(h, 0, &high, FILE_END), 0x40000004u);
    EXPECT_EQ(high, 1);
    EXPECT_EQ(SetFilePointer(h, -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NEGATIVE_SEEK);
    // A move that fails leaves the pointer where it was.
    ASSERT_EQ(SetFilePointer(h, 7, nullptr, FILE_BEGIN), 7u);
    high = -2;
    EXPECT_EQ(SetFilePointer(h, 0, &high, FILE_END), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NEGATIVE_SEEK);
    high = 0;
    EXPECT_EQ(SetFilePointer(h, 0, &high, FILE_CURRENT), 7u);
    EXPECT_EQ(high, 0);

    high = 1;
    SetFilePointer(h, (LONG)0xFFFFFFFE, &high, FILE_BEGIN);
    ASSERT_TRUE(WriteFile(h, "z", 1, &n, nullptr));
    SetLastError(77);
    EXPECT_EQ(GetFileSize(h, &sizehigh), INVALID_FILE_SIZE);
    EXPECT_EQ(sizehigh, 1u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    CloseHandle(h);
}

// Without a high word a position past 4 GB cannot be reported: Windows fails
// the call and leaves the pointer where it was.
TEST(PortFiles, MoveWithoutHighWordPast4GBFails) {
    if (underwine()) GTEST_SKIP() << "Wine moves the pointer and returns its low word";
    tempdir dir;
    HANDLE h = openfile(dir.path() + "/sparse", RW, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LONG high = 1;
    SetFilePointer(h, 0, &high, FILE_BEGIN);
    DWORD n;
    ASSERT_TRUE(WriteFile(h, "z", 1, &n, nullptr));
    ASSERT_EQ(SetFilePointer(h, 5, nullptr, FILE_BEGIN), 5u);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
    EXPECT_NE(GetLastError(), (DWORD)ERROR_SUCCESS);
    high = 0;
    EXPECT_EQ(SetFilePointer(h, 0, &high, FILE_CURRENT), 5u);
    EXPECT_EQ(high, 0);
    CloseHandle(h);
}
