// bytecopy without a terminal: the typed lines and the yes/no words all come
// from standard input, one stream, so answers typed ahead are not lost.
#include "tests/support/run.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string program = SUITE_BIN_DIR "/bytecopy";
const std::string banner = "Copy bytes from one file to another\n"
                           "  Byte displacements in file can be entered as n or e (end of file)\n"
                           "  or * (previous ending displ in the file) or *+n or x (exit)\n"
                           "Enter source file name: src\nSource file size is 1000 bytes\n";

std::string pattern(size_t size) {
    std::string data(size, 0);
    for (size_t i = 0; i < size; i++)
        data[i] = (char)(i * 7 + i / 251);
    return data;
}

} // namespace

TEST(BytecopyNoTerminal, AnswersTypedAhead) {
    struct row {
        const char *name;
        std::string input;
        int status;
        std::string out;
        std::string target; // the new target's bytes
    };
    const std::string data = pattern(1000);
    const row rows[] = {
        // The words after "y" on its line answer nothing.
        {"two cycles in one go", "src\n0\n500\nnew\ny please\n*\n*+100\nnew\ne\nn\n", 0,
         banner + "Enter start byte displacement in source file: 0\n"
                  "Enter end byte displacement in source file: 500\n"
                  "Source file: src\nStart displ: 0  End displ: 500  # bytes to copy: 500\n\n"
                  "Enter target file name or 0 to exit: new\nNew target file created: new\n"
                  "Using start displ = 0 in new target file\nCopy starting...\n500 bytes copied\n"
                  "Another target file? (y/n) \n"
                  "Enter start byte displacement in source file: *\n"
                  "Enter end byte displacement in source file: *+100\n"
                  "Source file: src\nStart displ: 500  End displ: 600  # bytes to copy: 100\n\n"
                  "Enter target file name or 0 to exit: new\n"
                  "Target file already exists, size 500 bytes\n"
                  "Enter start byte displacement in target file: e\n"
                  "Using start displ = 500 in target file\nCopy starting...\n100 bytes copied\n"
                  "Another target file? (y/n) ",
         data.substr(0, 600)},
        {"input ends with the yes/no question", "src\n0\n2\nnew\n", 0,
         banner + "Enter start byte displacement in source file: 0\n"
                  "Enter end byte displacement in source file: 2\n"
                  "Source file: src\nStart displ: 0  End displ: 2  # bytes to copy: 2\n\n"
                  "Enter target file name or 0 to exit: new\nNew target file created: new\n"
                  "Using start displ = 0 in new target file\nCopy starting...\n2 bytes copied\n"
                  "Another target file? (y/n) ",
         data.substr(0, 2)},
        // Asked again with nothing left to read, a question would be asked for ever.
        {"input ends where a displacement is asked again", "src\n0\n", 1,
         banner + "Enter start byte displacement in source file: 0\n"
                  "Enter end byte displacement in source file: \n"
                  "** Invalid value. Re-enter it (n/e/*/*+n/x): \nProgram terminated\n",
         ""},
        {"input ends where a target is asked again", "src\n0\n10\nnofolder/new", 1,
         banner + "Enter start byte displacement in source file: 0\n"
                  "Enter end byte displacement in source file: 10\n"
                  "Source file: src\nStart displ: 0  End displ: 10  # bytes to copy: 10\n\n"
                  "Enter target file name or 0 to exit: nofolder/new\n"
                  "** Unable to open target file: Path not found\nProgram terminated\n",
         ""},
    };
    for (const row &r : rows) {
        tempdir dir;
        writefile(dir.file("src"), data);
        runresult got = runprogram(program, {}, dir.path(), r.input);
        EXPECT_EQ(got.status, r.status) << r.name;
        EXPECT_EQ(got.out, r.out) << r.name;
        if (!r.target.empty()) {
            EXPECT_EQ(readfile(dir.file("new")), r.target) << r.name;
        }
    }
}
