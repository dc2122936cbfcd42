// The logger: the decision to format, the Android log lines, the log file's
// entries and its first-path-wins rule.
#include <gtest/gtest.h>

#include <stdarg.h>
#include <stdio.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "Capture.h"
#include "support/AndroidLog.h"
#include "support/TestSupport.h"
#include "vos/vos.h"

using namespace _palex_zu;
using logtest::FdCapture;
using logtest::Lines;
using vostest::AndroidLog;
using vostest::Str;

namespace {

void PrintF(CVLog::ELOGPRIORITY priority, const char* format, ...) {
    va_list args;
    va_start(args, format);
    CVLog::Print(priority, format, args);
    va_end(args);
}

std::string ReadFile(const std::string& path) {
    FILE* f = fopen(path.c_str(), "rb");
    if (f == nullptr) return "<missing>";
    std::string content;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0) content.append(buf, n);
    fclose(f);
    return content;
}

std::string Stamp() {
    tagVTime now;
    VTime_GetCurrentTime(&now);
    char buf[64];
    snprintf(buf, sizeof(buf), "[%04d:%02d:%02d][%02d:%02d:%02d]\t", static_cast<int>(now.nYear),
             static_cast<int>(now.nMonth), static_cast<int>(now.nDay), static_cast<int>(now.nHour),
             static_cast<int>(now.nMinute), static_cast<int>(now.nSecond));
    return buf;
}

const char kStampPattern[] = "\\[\\d{4}:\\d{2}:\\d{2}\\]\\[\\d{2}:\\d{2}:\\d{2}\\]\t";

// Every test sees the Android log's D and V entries (a Linux host drops
// entries below INFO by default) and leaves the process-wide log file closed.
class VLogTest : public ::testing::Test {
protected:
    void SetUp() override { vostest::ShowEveryAndroidLogEntry(); }
    void TearDown() override { CVLog::UnInitFilePath(); }
    vostest::TempDir m_dir;
};

}  // namespace

TEST_F(VLogTest, FormatsOnlyForListedConversions) {
    struct Case {
        const char* format;
        const char* message;
    };
    // Every format receives the arguments 7 and "str".
    const Case cases[] = {
        {"n=%d s=%s", "n=7 s=str"},
        {"100%% done", "100%% done"},    // nothing to format: the text as it stands
        {"%u items %c", "%u items %c"},  // conversions outside the list stay
        {"%5d|%s", "    7|str"},         // %5d is formatted because %s is there
        {"hex %x", "hex 7"},
        {"plain", "plain"},
    };
    for (const Case& c : cases) {
        FdCapture err(STDERR_FILENO);
        PrintF(CVLog::ELOG_INFO, c.format, 7, "str");
        EXPECT_EQ(std::string("I/VLog: ") + c.message + "\n", AndroidLog(err.Stop())) << c.format;
    }
}

TEST_F(VLogTest, PriorityDecidesTheAndroidLogLine) {
    const char* expected[] = {"V/VLog: m\n", "D/VLog: m\n", "I/VLog: m\n", "W/VLog: m\n", "E/VLog: m\n"};
    for (int p = 0; p < 5; ++p) {
        FdCapture err(STDERR_FILENO);
        PrintF(static_cast<CVLog::ELOGPRIORITY>(p), "m");
        EXPECT_EQ(expected[p], AndroidLog(err.Stop()));
    }
    for (int p : {-1, 5, 7}) {
        FdCapture err(STDERR_FILENO);
        PrintF(static_cast<CVLog::ELOGPRIORITY>(p), "%d", p);
        EXPECT_EQ("", err.Stop()) << "priority " << p;
    }
}

TEST_F(VLogTest, MeasuringPrintsNothingOnStandardOutput) {
    FdCapture out(STDOUT_FILENO);
    FdCapture err(STDERR_FILENO);
    PrintF(CVLog::ELOG_DEBUG, "value %d", 12345);
    EXPECT_EQ("D/VLog: value 12345\n", AndroidLog(err.Stop()));
    EXPECT_EQ("", out.Stop());
}

TEST_F(VLogTest, LongMessagesAreWhole) {
    const std::string path = m_dir.File("long.log");
    ASSERT_EQ(1, CVLog::InitFilePath(Str(path)));
    const std::string arg(600, 'L');
    FdCapture err(STDERR_FILENO);
    PrintF(CVLog::ELOG_WARN, "%s", arg.c_str());
    EXPECT_EQ("W/VLog: " + arg + "\n", AndroidLog(err.Stop()));
    EXPECT_TRUE(std::regex_match(ReadFile(path), std::regex(std::string(kStampPattern) + "\\[W\\]\t" + arg)));

    // 511 characters and the terminator fill the stack buffer exactly; 512
    // take the heap.
    for (size_t n : {511u, 512u}) {
        const std::string edge(n, 'e');
        FdCapture edgeErr(STDERR_FILENO);
        PrintF(CVLog::ELOG_INFO, "%s", edge.c_str());
        EXPECT_EQ("I/VLog: " + edge + "\n", AndroidLog(edgeErr.Stop())) << n;
    }
}

TEST_F(VLogTest, LongMessageIsCutWhenNoBufferCanBeHad) {
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "allocation hook not built in";
    const std::string arg(600, 'c');
    FdCapture err(STDERR_FILENO);
    {
        vostest::AllocHookGuard guard;
        vostest::FailAllocationAt(1, true);
        PrintF(CVLog::ELOG_ERROR, "%s!", arg.c_str());
    }
    EXPECT_EQ("E/VLog: " + arg.substr(0, 511) + "\n", AndroidLog(err.Stop()));
}

TEST_F(VLogTest, FileEntriesCarryStampMarkAndText) {
    const std::string path = m_dir.File("entries.log");
    ASSERT_EQ(1, CVLog::InitFilePath(Str(path)));
    const std::string before = Stamp();
    {
        FdCapture err(STDERR_FILENO);  // keep the Android lines out of the test output
        PrintF(CVLog::ELOG_VERBOSE, "v%d\n", 0);
        PrintF(CVLog::ELOG_DEBUG, "d\n");
        PrintF(CVLog::ELOG_INFO, "i\n");
        PrintF(CVLog::ELOG_WARN, "w\n");
        PrintF(CVLog::ELOG_ERROR, "e\n");
        PrintF(static_cast<CVLog::ELOGPRIORITY>(7), "seven %s\n", "x");
        PrintF(CVLog::ELOG_INFO, "one ");
        PrintF(CVLog::ELOG_INFO, "line\n");
    }
    const std::string after = Stamp();

    const std::vector<std::string> lines = Lines(ReadFile(path));
    const std::vector<std::string> rest = {"[V]\tv0", "[D]\td", "[I]\ti", "[W]\tw", "[E]\te", "seven x"};
    ASSERT_EQ(rest.size() + 1, lines.size());
    for (size_t i = 0; i < rest.size(); ++i) {
        ASSERT_GE(lines[i].size(), before.size());
        const std::string stamp = lines[i].substr(0, before.size());
        EXPECT_TRUE(std::regex_match(stamp, std::regex(kStampPattern))) << lines[i];
        // The stamp reads in time order, so it lies between the two taken around.
        EXPECT_LE(before, stamp);
        EXPECT_GE(after, stamp);
        EXPECT_EQ(rest[i], lines[i].substr(before.size()));
    }
    // Texts without a line break run on in one line.
    EXPECT_TRUE(std::regex_match(lines.back(), std::regex(std::string(kStampPattern) + "\\[I\\]\tone " +
                                                         kStampPattern + "\\[I\\]\tline")))
        << lines.back();
}

TEST_F(VLogTest, FirstPathWinsUntilClosed) {
    const std::string first = m_dir.File("first.log");
    const std::string second = m_dir.File("second.log");
    ASSERT_EQ(1, CVLog::InitFilePath(Str(first)));
    EXPECT_EQ(0, CVLog::InitFilePath(Str(second)));
    EXPECT_EQ("<missing>", ReadFile(second));
    PrintF(static_cast<CVLog::ELOGPRIORITY>(9), "to first");
    EXPECT_NE(std::string::npos, ReadFile(first).find("to first"));

    EXPECT_EQ(1, CVLog::UnInitFilePath());
    EXPECT_EQ(1, CVLog::UnInitFilePath());
    PrintF(static_cast<CVLog::ELOGPRIORITY>(9), "nowhere");
    ASSERT_EQ(1, CVLog::InitFilePath(Str(second)));
    PrintF(static_cast<CVLog::ELOGPRIORITY>(9), "to second");
    EXPECT_EQ(std::string::npos, ReadFile(first).find("nowhere"));
    EXPECT_NE(std::string::npos, ReadFile(second).find("to second"));

    // Destroying any logger closes the shared file.
    { CVLog logger; }
    EXPECT_EQ(1, CVLog::InitFilePath(Str(first)));
}

TEST_F(VLogTest, ExistingFileKeepsItsContent) {
    const std::string path = m_dir.File("日志.log");
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, f);
    fputs("earlier run\n", f);
    fclose(f);

    ASSERT_EQ(1, CVLog::InitFilePath(Str(path)));
    PrintF(static_cast<CVLog::ELOGPRIORITY>(5), "later\n");
    const std::string content = ReadFile(path);
    EXPECT_TRUE(std::regex_match(content, std::regex(std::string("earlier run\n") + kStampPattern + "later\n")))
        << content;
}

TEST_F(VLogTest, UnopenablePathLeavesTheAndroidLogOnly) {
    EXPECT_EQ(0, CVLog::InitFilePath(Str(m_dir.File("no/such/dir.log"))));
    FdCapture err(STDERR_FILENO);
    PrintF(CVLog::ELOG_INFO, "still %s", "here");
    EXPECT_EQ("I/VLog: still here\n", AndroidLog(err.Stop()));
}

TEST_F(VLogTest, WriteLogWritesOneEntryWithoutTheAndroidLog) {
    const std::string path = m_dir.File("direct.log");
    ASSERT_EQ(1, CVLog::InitFilePath(Str(path)));
    FdCapture err(STDERR_FILENO);
    EXPECT_EQ(1, CVLog::WriteLog(CVLog::ELOG_ERROR, "%d raw"));
    CVLog::WriteLog(CVLog::ELOG_ERROR, nullptr);
    EXPECT_EQ("", err.Stop());
    EXPECT_TRUE(std::regex_match(ReadFile(path), std::regex(std::string(kStampPattern) + "\\[E\\]\t%d raw")));
}

TEST_F(VLogTest, ConcurrentEntriesNeverInterleave) {
    const std::string path = m_dir.File("threads.log");
    ASSERT_EQ(1, CVLog::InitFilePath(Str(path)));
    const int perThread = 150;
    FdCapture err(STDERR_FILENO);
    auto worker = [perThread](char c) {
        const std::string body(80, c);
        for (int i = 0; i < perThread; ++i) PrintF(CVLog::ELOG_INFO, "%s %d\n", body.c_str(), i);
    };
    std::thread a(worker, 'a');
    std::thread b(worker, 'b');
    a.join();
    b.join();
    const std::vector<std::string> android = Lines(AndroidLog(err.Stop()));

    const std::regex entry(std::string(kStampPattern) + "\\[I\\]\t(a{80}|b{80}) \\d+");
    const std::vector<std::string> lines = Lines(ReadFile(path));
    ASSERT_EQ(static_cast<size_t>(2 * perThread), lines.size());
    for (const std::string& line : lines) EXPECT_TRUE(std::regex_match(line, entry)) << line;

    // Each Android line ends in the text's own line break and the one the
    // log adds, so every entry is followed by an empty rest.
    const std::regex androidLine("I/VLog: (a{80}|b{80}) \\d+");
    ASSERT_EQ(static_cast<size_t>(4 * perThread), android.size());
    for (size_t i = 0; i < android.size(); i += 2) {
        EXPECT_TRUE(std::regex_match(android[i], androidLine)) << android[i];
        EXPECT_EQ("+", android[i + 1]);
    }
}

TEST_F(VLogTest, LogOverloadsFormatAndEmit) {
    CVLog logger;
    FdCapture err(STDERR_FILENO);
    logger.Log(CVLog::ELOG_INFO, "narrow %d %s", 3, "x");
    logger.Log(CVLog::ELOG_INFO, "kept %u");
    const CVString wide = Str("wide %d %s");
    logger.Log(CVLog::ELOG_WARN, &wide, 5, "y");
    const CVString plain = Str("50%% 中文");
    logger.Log(CVLog::ELOG_ERROR, &plain, 1);
    logger.Log(CVLog::ELOG_ERROR, static_cast<const CVString*>(nullptr));
    EXPECT_EQ("I/VLog: narrow 3 x\nI/VLog: kept %u\nW/VLog: wide 5 y\nE/VLog: 50%% 中文\n", AndroidLog(err.Stop()));
}
