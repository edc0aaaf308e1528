// Self-tests of the end-to-end test support, driving ordinary system programs.
#include "tests/support/pty.h"
#include "tests/support/run.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fcntl.h>
#include <unistd.h>

namespace {

using namespace std::string_literals;

long long elapsedms(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 since)
        .count();
}

std::string canonical(const std::string &path) {
    return std::filesystem::canonical(path).string();
}

// Reads each key the way the programs under test do: raw mode for one read, then cooked
// mode again. Each iteration first waits in cooked mode (a key written then would be
// echoed), and after the read stays raw a while longer reading whatever else arrives (a
// key written then, before cooked mode returns, would be the next key sent too early).
// Prints [key bytes|extra bytes] in hex per key.
const char *const keyreader = R"(
for i in 1 2 3; do
  sleep 0.1
  s=$(stty -g)
  stty raw -echo
  k=$(dd bs=16 count=1 2>/dev/null | od -An -tx1 | tr -d ' \n')
  stty min 0 time 1
  x=$(dd bs=16 count=1 2>/dev/null | od -An -tx1 | tr -d ' \n')
  stty "$s"
  printf '[%s|%s]' "$k" "$x"
done
echo)";

TEST(ptyprocess, keysArriveWholeInFreshRawReadsWithoutEcho) {
    ptyprocess p;
    ASSERT_TRUE(p.start("/bin/sh", {"-c", keyreader})) << p.error();
    EXPECT_TRUE(p.typekeys({"a", keys::up, keys::f5}));
    EXPECT_EQ(p.wait(), 0);
    EXPECT_EQ(p.screen(), "[61|][1b5b41|][1b5b31357e|]\n");
}

TEST(ptyprocess, typetextSendsEachByteAsAKey) {
    ptyprocess p;
    ASSERT_TRUE(p.start("/bin/sh", {"-c", keyreader})) << p.error();
    EXPECT_TRUE(p.typetext("x\x7f\r"));
    EXPECT_EQ(p.wait(), 0);
    EXPECT_EQ(p.screen(), "[78|][7f|][0d|]\n");
}

// type() must give up, not write, when no program waits for a key in raw mode.
TEST(ptyprocess, typeFailsWithoutARawRead) {
    struct {
        const char *script;
        const char *go; // shown once the program is in the state to test
        int timeoutms;
    } cases[] = {
        {"exit 0", nullptr, 8000},                                 // gone: fails at once
        {"echo go; sleep 5", "go", 300},                           // cooked mode throughout
        {"stty -icanon -ixon min 1; echo go; sleep 5", "go", 300}, // raw but echoing
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.script);
        ptyprocess p;
        ASSERT_TRUE(p.start("/bin/sh", {"-c", c.script})) << p.error();
        if (c.go)
            ASSERT_TRUE(p.waitfor(c.go));
        else
            p.wait();
        auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(p.type("a", c.timeoutms));
        EXPECT_LT(elapsedms(start), 4000);
        EXPECT_EQ(p.screen().find('a'), std::string::npos);
    }
}

TEST(ptyprocess, screenFoldsLineEndsOnly) {
    ptyprocess p;
    ASSERT_TRUE(p.start("/bin/sh", {"-c", R"(printf '1\r\n2\n3\rX\b \b\a\n')"})) << p.error();
    EXPECT_EQ(p.wait(), 0);
    EXPECT_EQ(p.rawoutput(), "1\r\r\n2\r\n3\rX\b \b\a\r\n");
    EXPECT_EQ(p.screen(), "1\n2\n3\rX\b \b\a\n");
}

TEST(ptyprocess, waitafterSkipsEarlierText) {
    ptyprocess p;
    ASSERT_TRUE(p.start("/bin/sh", {"-c", "echo ready; sleep 0.3; echo ready; echo done"}));
    ASSERT_TRUE(p.waitfor("ready\n"));
    size_t mark = p.screen().size();
    EXPECT_TRUE(p.waitafter(mark, "ready\n"));
    EXPECT_TRUE(p.waitfor("done\n"));
    EXPECT_FALSE(p.waitfor("never", 200)); // the terminal closed: no waiting for nothing
}

TEST(ptyprocess, stdoutToFileUnderCwdWhileTerminalShowsTheRest) {
    tempdir dir;
    ptyoptions options;
    options.cwd = dir.path();
    options.stdoutfile = "out.txt";
    ptyprocess p;
    ASSERT_TRUE(p.start("/bin/sh", {"-c", "pwd -P; echo tty >/dev/tty; echo err >&2"}, options))
        << p.error();
    EXPECT_EQ(p.wait(), 0);
    EXPECT_EQ(readfile(dir.file("out.txt")), canonical(dir.path()) + "\n");
    EXPECT_EQ(p.screen(), "tty\nerr\n");
}

TEST(ptyprocess, terminalSettings) {
    for (bool erasebackspace : {false, true}) {
        SCOPED_TRACE(erasebackspace);
        ptyoptions options;
        options.erasebackspace = erasebackspace;
        options.cols = erasebackspace ? 120 : 200;
        options.rows = erasebackspace ? 40 : 50;
        ptyprocess p;
        ASSERT_TRUE(
            p.start("/bin/sh", {"-c", "stty -a; exec 3</dev/tty && echo has-tty"}, options));
        EXPECT_EQ(p.wait(), 0);
        std::string shown = p.screen();
        EXPECT_NE(shown.find(erasebackspace ? "erase = ^H;" : "erase = ^?;"), std::string::npos)
            << shown;
        EXPECT_NE(shown.find(erasebackspace ? "rows 40; columns 120;" : "rows 50; columns 200;"),
                  std::string::npos)
            << shown;
        EXPECT_NE(shown.find(" icanon "), std::string::npos) << shown; // cooked between keys
        EXPECT_NE(shown.find("has-tty\n"), std::string::npos);
    }
}

TEST(ptyprocess, largeOutputIsDrainedWhileTheTestWaits) {
    ptyprocess p;
    ASSERT_TRUE(
        p.start("/bin/sh", {"-c", "head -c 300000 /dev/zero | tr '\\0' x; echo; echo end"}));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(p.wait(20000), 0);
    EXPECT_EQ(p.screen(), std::string(300000, 'x') + "\nend\n");
}

const struct {
    const char *script;
    int status;
} exitcases[] = {{"exit 0", 0}, {"exit 3", 3}, {"kill -9 $$", 137}, {"kill -TERM $$", 143}};

TEST(ptyprocess, exitStatus) {
    for (const auto &c : exitcases) {
        SCOPED_TRACE(c.script);
        ptyprocess p;
        ASSERT_TRUE(p.start("/bin/sh", {"-c", c.script})) << p.error();
        EXPECT_EQ(p.wait(), c.status);
        EXPECT_EQ(p.wait(), c.status); // asking again gives the same answer
        EXPECT_FALSE(p.running());
    }
}

// True once pid has gone or is a zombie waiting for a parent that is not ours.
bool gone(pid_t pid) {
    std::string stat;
    try {
        stat = readfile("/proc/" + std::to_string(pid) + "/stat");
    } catch (const std::exception &) {
        return true;
    }
    return stat.find(") Z ") != std::string::npos;
}

TEST(ptyprocess, waitTimeoutKillsTheProcessGroup) {
    ptyprocess p;
    ASSERT_TRUE(p.start("/bin/sh", {"-c", "sleep 30 & echo \"<$!>\"; wait"}));
    ASSERT_TRUE(p.waitfor(">"));
    std::string shown = p.screen();
    pid_t grandchild = std::stoi(shown.substr(shown.find('<') + 1));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(p.wait(300), -1);
    EXPECT_LT(elapsedms(start), 4000);
    EXPECT_FALSE(p.running());
    for (int i = 0; i < 200 && !gone(grandchild); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(gone(grandchild));
}

TEST(ptyprocess, destructorKillsAndReaps) {
    pid_t pid;
    {
        ptyprocess p;
        ASSERT_TRUE(p.start("sleep", {"30"})) << p.error(); // found through PATH
        pid = p.pid();
        EXPECT_TRUE(p.running());
    }
    EXPECT_EQ(kill(pid, 0), -1); // no zombie left either
    EXPECT_EQ(errno, ESRCH);
}

TEST(ptyprocess, startFailures) {
    tempdir dir;
    ptyoptions badcwd;
    badcwd.cwd = dir.file("missing");
    ptyoptions badfile;
    badfile.stdoutfile = dir.file("missing/out.txt");
    ptyoptions none;
    struct {
        const char *program;
        const ptyoptions &options;
        const char *reason;
    } cases[] = {{"/nonexistent/program", none, "exec"},
                 {"/bin/true", badcwd, "chdir"},
                 {"/bin/true", badfile, "open"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.reason);
        ptyprocess p;
        EXPECT_FALSE(p.start(c.program, {}, c.options));
        EXPECT_NE(p.error().find(c.reason), std::string::npos) << p.error();
        EXPECT_FALSE(p.type("a", 100));
    }
    runresult r = runprogram("/nonexistent/program", {});
    EXPECT_EQ(r.status, -1);
    EXPECT_NE(r.err.find("exec"), std::string::npos) << r.err;
}

// A descriptor the test process forgot to mark close-on-exec must not reach the child.
TEST(spawning, onlyStandardDescriptorsReachTheChild) {
    int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
    int stray = fcntl(null, F_DUPFD, 3); // not close-on-exec, and above 2 even if 0 was closed
    close(null);
    ASSERT_GE(stray, 3);
    const std::vector<std::string> args = {"-c", "ls -1 /proc/$$/fd; :"};
    runresult r = runprogram("/bin/sh", args);
    EXPECT_EQ(r.out, "0\n1\n2\n");
    ptyprocess p;
    ASSERT_TRUE(p.start("/bin/sh", args)) << p.error();
    EXPECT_EQ(p.wait(), 0);
    EXPECT_EQ(p.screen(), "0\n1\n2\n");
    close(stray);
}

TEST(runprogram, exitStatus) {
    for (const auto &c : exitcases) {
        SCOPED_TRACE(c.script);
        EXPECT_EQ(runprogram("/bin/sh", {"-c", c.script}).status, c.status);
    }
}

TEST(runprogram, hasNoControllingTerminal) {
    // A session leader (field 6 of stat is the session id) that cannot open /dev/tty.
    runresult r = runprogram("/bin/sh", {"-c", "set -- $(cat /proc/$$/stat); echo $6 $$; "
                                               "exec 3</dev/tty; echo opened"});
    std::string pid = r.out.substr(r.out.find(' ') + 1);
    EXPECT_EQ(r.out, pid.substr(0, pid.size() - 1) + " " + pid) << r.out;
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err, "");
}

TEST(runprogram, separatesOutputsAndFeedsInput) {
    runresult r = runprogram("/bin/sh", {"-c", "cat; echo err >&2; exit 4"}, {}, "in\n");
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.out, "in\n");
    EXPECT_EQ(r.err, "err\n");

    r = runprogram("/bin/sh", {"-c", "cat; [ -c /dev/stdin ] && echo null"});
    EXPECT_EQ(r.out, "null\n");

    // More than the pipes hold both ways: input must be fed while output is read.
    std::string big(1 << 20, 'b');
    for (size_t i = 0; i < big.size(); i += 1000)
        big[i] = char('0' + i % 10);
    r = runprogram("cat", {}, {}, big);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out == big);

    // A program that ignores its input costs an EPIPE, not the test process.
    EXPECT_EQ(runprogram("/bin/true", {}, {}, big).status, 0);
}

TEST(runprogram, cwdEnvAndTimeout) {
    tempdir dir;
    runresult r = runprogram("/bin/sh", {"-c", "pwd -P; echo \"$ONE${HOME+home}\""}, dir.path(),
                             std::nullopt, 10000, {"ONE=1", "HOME"});
    EXPECT_EQ(r.out, canonical(dir.path()) + "\n1\n");

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(runprogram("sleep", {"30"}, {}, std::nullopt, 300).status, -1);
    EXPECT_LT(elapsedms(start), 4000);
}

TEST(tempdir, filesRoundTripAndFolderGoes) {
    std::string path;
    {
        tempdir dir;
        path = dir.path();
        std::string bytes = "a\0b\r\n\xff"s;
        writefile(dir.file("f.bin"), bytes);
        EXPECT_EQ(readfile(dir.file("f.bin")), bytes);
        std::filesystem::create_directories(dir.file("sub/deeper"));
        writefile(dir.file("sub/deeper/g"), "g");
        EXPECT_THROW(readfile(dir.file("missing")), std::runtime_error);
        tempdir other;
        EXPECT_NE(other.path(), path);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

} // namespace
