// Files and the log under allocation failure: a directory listing never hands
// out a name that is not in the directory, and a log entry is either written
// as specified or left out, never garbled.
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "AllocWalk.h"

using namespace _palex_zu;
using reliability::FailMode;
using reliability::RunFailingAt;
using reliability::Str;
using reliability::Text;
using reliability::WalkBoth;
using vostest::U16;
using vostest::Units;

namespace {

void Touch(const std::string& path) {
    std::ofstream f(path);
    f << "x";
}

std::string ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

}  // namespace

TEST(FileAllocFailure, ListingHoldsOnlyRealNames) {
    RELIABILITY_REQUIRE_HOOK();
    vostest::TempDir dir;
    std::set<std::u16string> names;
    for (const char* name : {"a.txt", "b.txt", "c.log", "\xE4\xB8\xAD.txt", "long-name-of-a-file.txt", "e.dat"}) {
        Touch(dir.File(name));
        names.insert(U16(name));
    }
    const CVString path = Str(dir.Path());
    for (const char* filter : {"", "txt", ".log"}) {
        const std::string what = std::string("GetDir filter \"") + filter + "\"";
        const CVString f = Str(filter);
        size_t want = 0;
        for (const auto& n : names) {
            const std::u16string suffix = U16(filter[0] == '.' || filter[0] == 0 ? filter : (std::string(".") + filter).c_str());
            if (n.size() >= suffix.size() && n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0) ++want;
        }
        WalkBoth(what.c_str(), [&](unsigned long n, FailMode mode) {
            CVArray<CVString, CVString&> out;
            int count = -1;
            const bool failed = RunFailingAt(n, mode, [&] { count = CVFile::GetDir(path, f, out); });
            EXPECT_EQ(count, out.GetSize());
            // A listing that lost a name to the shortage is refused whole.
            EXPECT_EQ(static_cast<size_t>(count), failed ? 0u : want);
            std::set<std::u16string> seen;
            for (int i = 0; i < out.GetSize(); ++i) {
                const std::u16string name = Text(out[i]);
                EXPECT_EQ(names.count(name), 1u) << "listed a name not in the directory, "
                                                  << name.size() << " units";
                EXPECT_TRUE(seen.insert(name).second) << "listed twice";
            }
            return failed;
        });
    }
}

TEST(FileAllocFailure, PathOperations) {
    RELIABILITY_REQUIRE_HOOK();
    vostest::TempDir dir;
    int round = 0;
    WalkBoth("CreateDirectory", [&](unsigned long n, FailMode mode) {
        const std::string target = dir.File("r" + std::to_string(round++) + "/x/\xE4\xB8\xAD/z");
        const std::u16string t = U16(target.c_str());
        int r = -1;
        const bool failed = RunFailingAt(n, mode, [&] { r = CVFile::CreateDirectory(Units(t)); });
        EXPECT_EQ(r, CVFile::IsDirectoryExist(Units(t)));
        if (!failed) {
            EXPECT_EQ(r, 1);
        }
        EXPECT_EQ(CVFile::CreateDirectory(Units(t)), 1);
        return failed;
    });
    WalkBoth("CVFile Open", [&](unsigned long n, FailMode mode) {
        const CVString path = Str(dir.File("open" + std::to_string(round++) + ".bin"));
        CVFile file;
        int r = -1;
        const bool failed =
            RunFailingAt(n, mode, [&] { r = file.Open(path, VFILE_OPEN_CREATE | VFILE_OPEN_READWRITE); });
        EXPECT_EQ(r, file.IsOpened());
        if (!failed) {
            EXPECT_EQ(r, 1);
        }
        if (r == 1) {
            EXPECT_EQ(file.Write("data", 4), 4ul);
            EXPECT_EQ(file.GetLength(), 4ul);
        }
        return failed;
    });
    WalkBoth("CVFile SetLength", [&](unsigned long n, FailMode mode) {
        CVFile file;
        EXPECT_EQ(file.Open(Str(dir.File("len" + std::to_string(round++) + ".bin")),
                            VFILE_OPEN_CREATE | VFILE_OPEN_READWRITE), 1);
        file.Write("abc", 3);
        int r = -1;
        const bool failed = RunFailingAt(n, mode, [&] { r = file.SetLength(25000); });
        // The pieces already written stay; what is there is zeros.
        EXPECT_EQ(r, failed ? 0 : 1);
        const unsigned long length = file.GetLength();
        EXPECT_EQ(length, failed ? 3ul + 10240ul * (n - 1) : 25000ul);
        return failed;
    });
}

TEST(LogAllocFailure, EntriesAreWholeCutOrLeftOut) {
    RELIABILITY_REQUIRE_HOOK();
    vostest::TempDir dir;
    const std::string logPath = dir.File("vos.log");
    // A fresh file each time: opening a missing one takes the creating path.
    int round = 0;
    WalkBoth("CVLog InitFilePath", [&](unsigned long n, FailMode mode) {
        const CVString logName = Str(dir.File("init" + std::to_string(round++) + ".log"));
        int r = -1;
        const bool failed = RunFailingAt(n, mode, [&] { r = CVLog::InitFilePath(logName); });
        EXPECT_EQ(r, 1);
        CVLog::UnInitFilePath();
        return failed;
    });
    ASSERT_EQ(CVLog::InitFilePath(Str(logPath)), 1);
    CVLog log;
    const std::string word(700, 'w');  // beyond the stack buffers
    size_t seen = ReadAll(logPath).size();

    WalkBoth("CVLog Log narrow", [&](unsigned long n, FailMode mode) {
        const bool failed = RunFailingAt(n, mode, [&] { log.Log(CVLog::ELOG_INFO, "%s|end", word.c_str()); });
        const std::string all = ReadAll(logPath);
        const std::string entry = all.substr(seen);
        seen = all.size();
        const size_t mark = entry.find("[I]\t");
        EXPECT_NE(mark, std::string::npos);
        const std::string text = mark == std::string::npos ? "" : entry.substr(mark + 4);
        if (failed) {
            // Without a heap buffer the message is cut to the stack one.
            EXPECT_EQ(text, (word + "|end").substr(0, 511));
        } else {
            EXPECT_EQ(text, word + "|end");
        }
        return failed;
    });

    // Beyond the stack buffer of the UTF-8 form, so the heap one is needed.
    const CVString wideWord = Str(std::string(1600, 'v') + "\xE4\xB8\xAD");
    WalkBoth("CVLog Log wide", [&](unsigned long n, FailMode mode) {
        const bool failed = RunFailingAt(n, mode, [&] { log.Log(CVLog::ELOG_WARN, &wideWord); });
        const std::string all = ReadAll(logPath);
        const std::string entry = all.substr(seen);
        seen = all.size();
        if (failed) {
            EXPECT_EQ(entry, "");
        } else {
            const size_t mark = entry.find("[W]\t");
            EXPECT_NE(mark, std::string::npos);
            if (mark != std::string::npos) {
                EXPECT_EQ(entry.substr(mark + 4), std::string(1600, 'v') + "\xE4\xB8\xAD");
            }
        }
        return failed;
    });
    CVLog::UnInitFilePath();
}
