// The Win32 subset the programs call.
//
// On Windows this is the system's own <windows.h> (and <winsock2.h>) and
// nothing else. Elsewhere it declares the same types, constants and
// functions, with the same signatures, and port/posix/ implements them on
// POSIX system calls, so that the program code reads and compiles the same
// on both.
//
// Map of this header:
//   types            DWORD, HANDLE, BOOL ...
//   files            CreateFileA, ReadFile, WriteFile, SetFilePointer, GetFileSize,
//                    CloseHandle, GetLastError, SetLastError
//   time             GetTickCount
//   file identity    GetFileInformationByHandle, SetEndOfFile (recmend)
//   directory search FindFirstFileA, FindNextFileA, FindClose (samefile)
//   bell             MessageBeep (samefile)
//   system facts     GetLocalTime, GetCurrentProcessId, GetCurrentThreadId,
//                    GetDiskFreeSpaceA, GlobalMemoryStatus
//   named mutexes    CreateMutexA, WaitForSingleObject, ReleaseMutex
#pragma once

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
// No min and max macros: they would break std::min and std::max.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <windows.h>

#else

#include <cstddef>
#include <cstdint>

// ---- types ----------------------------------------------------------------
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef unsigned int UINT;
typedef size_t SIZE_T;
typedef void *HANDLE;
typedef void *LPVOID;
typedef const void *LPCVOID;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef DWORD *LPDWORD;
typedef LONG *PLONG;
typedef struct _SECURITY_ATTRIBUTES *LPSECURITY_ATTRIBUTES;
typedef struct _OVERLAPPED *LPOVERLAPPED;

#define WINAPI
#define TRUE 1
#define FALSE 0
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

// ---- files ----------------------------------------------------------------
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u

#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u

#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4

#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_FLAG_OPEN_REPARSE_POINT 0x00200000u

#define FILE_TYPE_UNKNOWN 0x0000u
#define FILE_TYPE_DISK 0x0001u
#define FILE_TYPE_CHAR 0x0002u
#define FILE_TYPE_PIPE 0x0003u

#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2

#define INVALID_SET_FILE_POINTER ((DWORD)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)

#define NO_ERROR 0L
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_TOO_MANY_OPEN_FILES 4L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_WRITE_PROTECT 19L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_HANDLE_EOF 38L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_DISK_FULL 112L
#define ERROR_NEGATIVE_SEEK 131L
#define ERROR_BUSY 170L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_NOT_OWNER 288L

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD sharemode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templatefile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toread, LPDWORD read, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD towrite, LPDWORD written,
               LPOVERLAPPED overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distancehigh, DWORD method);
DWORD GetFileSize(HANDLE file, LPDWORD sizehigh);
DWORD GetFileType(HANDLE file);
BOOL CloseHandle(HANDLE object);
DWORD GetLastError(void);
void SetLastError(DWORD code);

// ---- time -----------------------------------------------------------------
DWORD GetTickCount(void);

// ---- file identity (recmend) -----------------------------------------------
// recmend tells whether its output names its input (by any path) before it
// cuts the output to zero length.
#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u

typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME, *PFILETIME, *LPFILETIME;

typedef struct _BY_HANDLE_FILE_INFORMATION {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD dwVolumeSerialNumber;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD nNumberOfLinks;
    DWORD nFileIndexHigh;
    DWORD nFileIndexLow;
} BY_HANDLE_FILE_INFORMATION, *PBY_HANDLE_FILE_INFORMATION, *LPBY_HANDLE_FILE_INFORMATION;

BOOL GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information);
BOOL SetEndOfFile(HANDLE file);

// ---- time and system information (logonx) ---------------------------------
typedef struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME, *LPSYSTEMTIME;

typedef struct _MEMORYSTATUS {
    DWORD dwLength;
    DWORD dwMemoryLoad;
    SIZE_T dwTotalPhys;
    SIZE_T dwAvailPhys;
    SIZE_T dwTotalPageFile;
    SIZE_T dwAvailPageFile;
    SIZE_T dwTotalVirtual;
    SIZE_T dwAvailVirtual;
} MEMORYSTATUS, *LPMEMORYSTATUS;

void GetLocalTime(LPSYSTEMTIME time);
DWORD GetCurrentProcessId(void);
DWORD GetCurrentThreadId(void);
BOOL GetDiskFreeSpaceA(LPCSTR rootpath, LPDWORD sectorspercluster, LPDWORD bytespersector,
                       LPDWORD freeclusters, LPDWORD totalclusters);
void GlobalMemoryStatus(LPMEMORYSTATUS status);

// ---- named mutexes (logonx) -----------------------------------------------
#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL initialowner, LPCSTR name);
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
BOOL ReleaseMutex(HANDLE mutex);

// ---- directory search (samefile) ------------------------------------------
#define MAX_PATH 260
#define ERROR_NO_MORE_FILES 18L
#define ERROR_DIRECTORY 267L

// Only the members the programs read; the Windows record has more.
typedef struct _WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    char cFileName[MAX_PATH];
} WIN32_FIND_DATAA, *LPWIN32_FIND_DATAA;

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA found);
BOOL FindNextFileA(HANDLE search, LPWIN32_FIND_DATAA found);
BOOL FindClose(HANDLE search);

// ---- bell (samefile) ------------------------------------------------------
#define MB_OK 0x00000000u
#define MB_ICONASTERISK 0x00000040u

BOOL MessageBeep(UINT type);

#endif
