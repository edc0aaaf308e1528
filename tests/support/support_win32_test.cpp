// Self-tests of the end-to-end test support on Windows, driving the system's
// command interpreter and our own helper programs.
#include "tests/support/run.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace {

using namespace std::string_literals;

TEST(runprogram, exitStatusAndSeparateOutputs) {
    runresult r = runprogram("cmd", {"/c", "echo out& echo err>&2& exit 4"});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.out, "out\n");
    EXPECT_EQ(r.err, "err\n");
    EXPECT_EQ(runprogram("cmd", {"/c", "exit 0"}).status, 0);
}

TEST(runprogram, argumentsArriveAsGiven) {
    // Blanks, quotes and backslashes before a quote survive the command line.
    const std::vector<std::string> args = {"a b", "say \"hi\"", "back\\", "tail\\\\\"", ""};
    runresult r = runprogram(SUITE_BIN_DIR "/inputprobe", {"20", "6", args[0]}, {}, "\n");
    EXPECT_EQ(r.out, "> a b\n[a b]\n");
    for (const std::string &arg : args) {
        SCOPED_TRACE(arg);
        runresult one = runprogram(SUITE_BIN_DIR "/inputprobe", {"300", "6", arg}, {}, "\n");
        EXPECT_EQ(one.status, 0);
        EXPECT_EQ(one.out, "> " + arg + "\n[" + arg + "]\n");
    }
}

TEST(runprogram, feedsInputAndHasNoConsole) {
    // Without a console the probe reads its keys from standard input.
    std::string big(100000, 'k');
    runresult r = runprogram(SUITE_BIN_DIR "/inputprobe", {"300", "0", "", "2"}, {}, big);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "> \n[" + big.substr(0, 299) + "]\n> \n[" + big.substr(0, 299) + "]\n");
}

TEST(runprogram, cwdEnvAndTimeout) {
    tempdir dir;
    runresult r = runprogram("cmd", {"/c", "cd& echo %ONE%%HOME%"}, dir.path(), std::nullopt, 10000,
                             {"ONE=1", "HOME"});
    EXPECT_EQ(std::filesystem::path(r.out.substr(0, r.out.find('\n'))),
              std::filesystem::path(dir.path()));
    EXPECT_EQ(r.out.substr(r.out.find('\n') + 1), "1%HOME%\n");

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(
        runprogram("cmd", {"/c", "for /l %i in (1,0,2) do @rem"}, {}, std::nullopt, 300).status,
        -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
}

TEST(runprogram, startFailure) {
    runresult r = runprogram("Z:/nonexistent/program", {});
    EXPECT_EQ(r.status, -1);
    EXPECT_NE(r.err.find("CreateProcess"), std::string::npos) << r.err;
}

TEST(companion, answersAndEndsWithItsInput) {
    tempdir dir;
    writefile(dir.file("f"), "x");
    companion held;
    ASSERT_TRUE(held.start(SUITE_BIN_DIR "/holdopen", {dir.file("f"), "r", "r"})) << held.error();
    EXPECT_EQ(held.readline(), "held");
    EXPECT_EQ(held.finish(), 0);
    companion failed;
    ASSERT_TRUE(failed.start(SUITE_BIN_DIR "/holdopen", {dir.file("missing"), "r", "r"}));
    EXPECT_EQ(failed.readline(), "failed 2");
    EXPECT_EQ(failed.finish(), 1);
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
