// The program: the command line, the two filespecs and the two modes.
#include "samefile/samefile.h"

#include <cstdio>
#include <cstring>

namespace {

// The second line puts the shortest accepted forms under the options.
const char usagetext[] = "Usage is:  samefile filespec1 filespec2 -pause -nobeep\n"
                         "                                        -p     -nob   \n"
                         "(For original DOS version, use dossame command.)\n";

// Every file matching the first pattern against its partner. Returns the
// exit status.
int wildcardrun(const sameoptions &options, const filespec &first, const filespec &second) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(first.text, &found);
    if (search == INVALID_HANDLE_VALUE) {
        printf("** No files found matching %s\n", first.text);
        return resultequal;
    }
    DWORD foundcount = 0;
    int notfound = 0, notequal = 0;
    char path1[specsize], path2[specsize];
    do {
        // Folders, "." and ".." among them, are neither compared nor counted.
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        foundcount++;
        snprintf(path1, sizeof path1, "%.*s%s", (int)first.dirlen, first.text, found.cFileName);
        secondpath(first, second, found.cFileName, path2, sizeof path2);
        int result = cmpfiles(options, path1, path2);
        if (result == resultstopped) {
            FindClose(search);
            return resultstopped;
        }
        if (result == resultfailed) notfound++;
        if (result == resultdiffer) notequal++;
    } while (FindNextFileA(search, &found));
    FindClose(search);

    if (foundcount == 0) {
        printf("** No files found matching %s\n", first.text);
        return resultequal;
    }
    printf("\n%lu file(s) found matching 1st file spec\n", (unsigned long)foundcount);
    if (notfound == 0 && notequal == 0) return resultequal;
    printf("***** Error summary:\n");
    if (notfound > 0) printf("%4d file(s) not found (or read error)\n", notfound);
    if (notequal > 0) printf("%4d file(s) not equal\n", notequal);
    return notequal > 0 ? resultdiffer : resultfailed;
}

} // namespace

int samefilemain(int argc, char **argv) {
    sameoptions options;
    filespec first, second;
    int given = 0;
    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        if (strncmp(arg, "-p", 2) == 0)
            options.pause = true;
        else if (strncmp(arg, "-nob", 4) == 0)
            options.nobeep = true;
        else if (given == 0)
            setspec(first, arg), given++;
        else if (given == 1)
            setspec(second, arg), given++;
        // Further filespecs are ignored.
    }
    if (given == 0) {
        printf("%s", usagetext);
        return resultfailed;
    }
    if (given == 1) setspec(second, "");

    preparefirst(first);
    preparesecond(second);
    if (!singlepair(first)) return wildcardrun(options, first, second);

    char path2[specsize];
    if (second.isdir)
        snprintf(path2, sizeof path2, "%s%s", second.text, first.text + first.dirlen);
    else
        snprintf(path2, sizeof path2, "%s", second.text);
    return cmpfiles(options, first.text, path2);
}
