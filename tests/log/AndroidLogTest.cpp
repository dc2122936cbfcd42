// The host's stand-in for the Android system log. It is built into the
// library with hidden symbols, so the test compiles its own copy.
#include <gtest/gtest.h>

#include <unistd.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Capture.h"
#include "platform/AndroidLog.cpp"

using logtest::FdCapture;
using logtest::Lines;

TEST(AndroidLogHost, OneLinePerMessageWithPriorityLetterOrNumber) {
    struct Case {
        int priority;
        const char* line;
    };
    const Case cases[] = {
        {ANDROID_LOG_VERBOSE, "V/Tag: text\n"}, {ANDROID_LOG_DEBUG, "D/Tag: text\n"},
        {ANDROID_LOG_INFO, "I/Tag: text\n"},    {ANDROID_LOG_WARN, "W/Tag: text\n"},
        {ANDROID_LOG_ERROR, "E/Tag: text\n"},   {ANDROID_LOG_FATAL, "7/Tag: text\n"},
        {ANDROID_LOG_DEFAULT, "1/Tag: text\n"}, {-3, "-3/Tag: text\n"},
        {100, "100/Tag: text\n"},
    };
    for (const Case& c : cases) {
        FdCapture err(STDERR_FILENO);
        const int written = __android_log_write(c.priority, "Tag", "text");
        EXPECT_EQ(c.line, err.Stop()) << "priority " << c.priority;
        EXPECT_EQ(static_cast<int>(strlen(c.line)), written);
    }
}

TEST(AndroidLogHost, NullTagAndTextAndLongText) {
    FdCapture err(STDERR_FILENO);
    __android_log_write(ANDROID_LOG_INFO, nullptr, nullptr);
    const std::string longText(5000, 'z');
    __android_log_write(ANDROID_LOG_WARN, "Long", longText.c_str());
    EXPECT_EQ("I/: \nW/Long: " + longText + "\n", err.Stop());
}

TEST(AndroidLogHost, PrintFormats) {
    FdCapture err(STDERR_FILENO);
    __android_log_print(ANDROID_LOG_DEBUG, "Fmt", "%d-%s-%05.1f", 42, "abc", 2.5);
    const std::string longArg(3000, 'q');
    __android_log_print(ANDROID_LOG_ERROR, "Fmt", "<%s>", longArg.c_str());
    EXPECT_EQ("D/Fmt: 42-abc-002.5\nE/Fmt: <" + longArg + ">\n", err.Stop());
}

TEST(AndroidLogHost, LinesFromSeveralThreadsNeverInterleave) {
    const int threads = 4;
    const int perThread = 200;
    FdCapture err(STDERR_FILENO);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t] {
            // Lines longer than the stack buffer take the heap path too.
            const std::string body(t % 2 == 0 ? 100 : 2000, static_cast<char>('a' + t));
            for (int i = 0; i < perThread; ++i) __android_log_write(ANDROID_LOG_INFO, "T", body.c_str());
        });
    }
    for (std::thread& w : workers) w.join();
    const std::vector<std::string> lines = Lines(err.Stop());
    ASSERT_EQ(static_cast<size_t>(threads * perThread), lines.size());
    std::set<std::string> expected;
    for (int t = 0; t < threads; ++t) {
        expected.insert("I/T: " + std::string(t % 2 == 0 ? 100 : 2000, static_cast<char>('a' + t)));
    }
    for (const std::string& line : lines) {
        EXPECT_EQ(1u, expected.count(line)) << "interleaved line: " << line.substr(0, 60);
    }
}
