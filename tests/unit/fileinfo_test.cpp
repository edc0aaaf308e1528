// The platform layer's file identity and length calls.
#include "port/win32.h"
#include "tests/support/filetests.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <string>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

HANDLE openfile(const std::string &path, DWORD access) {
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

} // namespace

TEST(PortFileInfo, IdentitySizeAndLinks) {
    tempdir dir;
    writefile(dir.file("a"), "12345");
    writefile(dir.file("b"), "");
    ASSERT_TRUE(filetests::hardlink(dir.file("a"), dir.file("a2")));
    HANDLE a = openfile(dir.file("a"), GENERIC_READ);
    HANDLE a2 = openfile(dir.file("a2"), GENERIC_READ);
    HANDLE b = openfile(dir.file("b"), GENERIC_READ);
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    ASSERT_NE(a2, INVALID_HANDLE_VALUE);
    ASSERT_NE(b, INVALID_HANDLE_VALUE);
    BY_HANDLE_FILE_INFORMATION ia, ia2, ib;
    ASSERT_TRUE(GetFileInformationByHandle(a, &ia));
    ASSERT_TRUE(GetFileInformationByHandle(a2, &ia2));
    ASSERT_TRUE(GetFileInformationByHandle(b, &ib));

#ifndef _WIN32
    struct stat st;
    ASSERT_EQ(stat(dir.file("a").c_str(), &st), 0);
    EXPECT_EQ(((uint64_t)ia.nFileIndexHigh << 32) | ia.nFileIndexLow, (uint64_t)st.st_ino);
#endif
    EXPECT_EQ(ia.nFileSizeLow, 5u);
    EXPECT_EQ(ia.nFileSizeHigh, 0u);
    EXPECT_EQ(ia.nNumberOfLinks, 2u);
    // A file just written is marked for the next backup, as Windows does.
    EXPECT_EQ(ia.dwFileAttributes, (DWORD)FILE_ATTRIBUTE_ARCHIVE);
    // A FILETIME after 2020 (132223104000000000 ticks since 1601).
    uint64_t written =
        ((uint64_t)ia.ftLastWriteTime.dwHighDateTime << 32) | ia.ftLastWriteTime.dwLowDateTime;
    EXPECT_GT(written, 132223104000000000ull);

    EXPECT_EQ(ia.dwVolumeSerialNumber, ia2.dwVolumeSerialNumber);
    EXPECT_EQ(ia.nFileIndexLow, ia2.nFileIndexLow);
    EXPECT_EQ(ia.dwVolumeSerialNumber, ib.dwVolumeSerialNumber);
    EXPECT_NE(ia.nFileIndexLow, ib.nFileIndexLow);

    EXPECT_FALSE(GetFileInformationByHandle(INVALID_HANDLE_VALUE, &ia));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    CloseHandle(a);
    CloseHandle(a2);
    CloseHandle(b);
}

TEST(PortFileInfo, SetEndOfFileAtThePosition) {
    tempdir dir;
    std::string path = dir.file("f");
    writefile(path, "0123456789");
    HANDLE h = openfile(path, GENERIC_READ | GENERIC_WRITE);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SetFilePointer(h, 4, nullptr, FILE_BEGIN), 4u);
    EXPECT_TRUE(SetEndOfFile(h));
    EXPECT_EQ(readfile(path), "0123");
    // Beyond the end it lengthens the file with zeros.
    EXPECT_EQ(SetFilePointer(h, 6, nullptr, FILE_BEGIN), 6u);
    EXPECT_TRUE(SetEndOfFile(h));
    EXPECT_EQ(readfile(path), std::string("0123\0\0", 6));
    CloseHandle(h);

    // A handle for reading only may not change the length.
    h = openfile(path, GENERIC_READ);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SetEndOfFile(h));
    // Wine truncates through the handle's read-only descriptor and passes on
    // the system's EINVAL.
    EXPECT_EQ(GetLastError(),
              underwine() ? (DWORD)ERROR_INVALID_PARAMETER : (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_EQ(readfile(path).size(), 6u);
    CloseHandle(h);
}
