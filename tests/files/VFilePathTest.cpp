// The static path operations of the file layer against the real file system.
#include <gtest/gtest.h>

#include <time.h>
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <codecvt>
#include <locale>
#include <string>
#include <vector>

#include "FileTestUtil.h"
#include "support/TestSupport.h"
#include "vos/vos.h"

using namespace _palex_zu;
using filetest::Exists;
using filetest::IsDir;
using filetest::Str;
using filetest::Units;
using filetest::WriteFile;

namespace {

typedef CVArray<CVString, CVString&> CVStringArray;

// The names of a listing as sorted UTF-8 strings (readdir gives no order).
std::vector<std::string> Names(CVStringArray& names) {
    std::vector<std::string> out;
    for (int i = 0; i < names.GetSize(); ++i) {
        const unsigned short* units = names[i];
        std::u16string text;
        for (int k = 0; k < names[i].GetLength(); ++k) text += static_cast<char16_t>(units[k]);
        std::wstring_convert<std::codecvt_utf8_utf16<char16_t>, char16_t> conv;
        const std::string utf8 = conv.to_bytes(text);
        out.push_back(utf8);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Runs a test body in dir as the working directory and restores the old one.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& dir) {
        char buf[4096];
        m_old = getcwd(buf, sizeof(buf)) != nullptr ? buf : "/";
        m_ok = chdir(dir.c_str()) == 0;
    }
    ~WorkingDirectory() {
        if (chdir(m_old.c_str()) != 0) ADD_FAILURE() << "cannot return to " << m_old;
    }
    bool Ok() const { return m_ok; }

private:
    std::string m_old;
    bool m_ok;
};

}  // namespace

TEST(VFileExistence, FilesAndDirectories) {
    vostest::TempDir dir;
    WriteFile(dir.File("file"), "x");
    ASSERT_EQ(0, mkdir(dir.File("目录").c_str(), 0755));
    // Exists, but its path does not fit the 256-byte buffer.
    ASSERT_EQ(0, mkdir(filetest::PathOfLength(dir.Path(), 256).c_str(), 0755));

    struct Case {
        std::string path;
        int fileExists;
        int dirExists;
    };
    const Case cases[] = {
        {dir.File("file"), 1, 0},
        {dir.File("目录"), 1, 1},
        {dir.File("目录") + "/", 1, 1},
        {dir.Path() + "\\目录", 0, 1},  // only the directory test turns "\\" into "/"
        {dir.File("missing"), 0, 0},
        {"", 0, 0},
        {filetest::PathOfLength(dir.Path(), 256), 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.fileExists, CVFile::IsFileExist(Units(c.path))) << c.path;
        EXPECT_EQ(c.dirExists, CVFile::IsDirectoryExist(Units(c.path))) << c.path;
    }
    EXPECT_EQ(0, CVFile::IsFileExist(nullptr));
    EXPECT_EQ(0, CVFile::IsDirectoryExist(nullptr));

    // A directory path that fills the buffer leaves no room for the "/".
    const std::string full = filetest::PathOfLength(dir.Path(), 255);
    ASSERT_EQ(0, mkdir(full.c_str(), 0755));
    EXPECT_EQ(1, CVFile::IsFileExist(Units(full)));
    EXPECT_EQ(0, CVFile::IsDirectoryExist(Units(full)));
}

TEST(VFileCreateDirectory, RelativeAbsoluteAndRepeated) {
    vostest::TempDir dir;
    {
        WorkingDirectory cwd(dir.Path());
        ASSERT_TRUE(cwd.Ok());
        EXPECT_EQ(1, CVFile::CreateDirectory(Units("a/b/c")));
        EXPECT_EQ(1, CVFile::CreateDirectory(Units("a\\b\\d\\")));
    }
    EXPECT_TRUE(IsDir(dir.File("a/b/c")));
    EXPECT_TRUE(IsDir(dir.File("a/b/d")));

    const std::string absolute = dir.File("x/中文/z");
    EXPECT_EQ(1, CVFile::CreateDirectory(Units(absolute)));
    EXPECT_TRUE(IsDir(absolute));
    EXPECT_EQ(1, CVFile::CreateDirectory(Units(absolute)));  // all there already
    EXPECT_EQ(1, CVFile::CreateDirectory(Units("/")));
    EXPECT_EQ(1, CVFile::CreateDirectory(Units("")));
    EXPECT_EQ(0, CVFile::CreateDirectory(nullptr));
}

TEST(VFileCreateDirectory, FailsBelowAFileAndForPathsThatDoNotFit) {
    vostest::TempDir dir;
    WriteFile(dir.File("plain"), "x");
    EXPECT_EQ(0, CVFile::CreateDirectory(Units(dir.File("plain/sub"))));

    // 254 bytes leave room for the "/" that closes the last component.
    const std::string fits = filetest::PathOfLength(dir.Path(), 254);
    EXPECT_EQ(1, CVFile::CreateDirectory(Units(fits)));
    EXPECT_TRUE(IsDir(fits));
    // 255 bytes fit the buffer but not with the "/" after them.
    const std::string full = filetest::PathOfLength(dir.Path(), 255);
    EXPECT_EQ(0, CVFile::CreateDirectory(Units(full)));
    EXPECT_FALSE(Exists(full));
    // Ending in "/" already, it needs no more room.
    EXPECT_EQ(1, CVFile::CreateDirectory(Units(fits + "/")));

    EXPECT_EQ(0, CVFile::CreateDirectory(Units(std::string(257, 'a'))));
    std::string wide = dir.Path() + "/";
    for (int i = 0; i < 90; ++i) wide += "字";
    EXPECT_EQ(0, CVFile::CreateDirectory(Units(wide)));
}

TEST(VFileRenameRemove, MovesAndDeletes) {
    vostest::TempDir dir;
    WriteFile(dir.File("old"), "content");
    EXPECT_EQ(1, CVFile::Rename(Units(dir.File("old")), Units(dir.File("新"))));
    EXPECT_FALSE(Exists(dir.File("old")));
    EXPECT_EQ("content", filetest::ReadFile(dir.File("新")));
    EXPECT_EQ(0, CVFile::Rename(Units(dir.File("old")), Units(dir.File("other"))));
    EXPECT_EQ(0, CVFile::Rename(nullptr, Units(dir.File("other"))));

    ASSERT_EQ(0, mkdir(dir.File("d").c_str(), 0755));
    WriteFile(dir.File("d/f"), "x");
    EXPECT_EQ(0, CVFile::Remove(Units(dir.File("d"))));  // not empty
    EXPECT_EQ(1, CVFile::Remove(Units(dir.File("d/f"))));
    EXPECT_EQ(1, CVFile::Remove(Units(dir.File("d"))));
    EXPECT_EQ(1, CVFile::Remove(Units(dir.File("新"))));
    EXPECT_EQ(0, CVFile::Remove(Units(dir.File("新"))));
    EXPECT_EQ(0, CVFile::Remove(nullptr));

    const std::string tooLong = filetest::PathOfLength(dir.Path(), 256);
    WriteFile(tooLong, "x");
    ASSERT_TRUE(Exists(tooLong));
    EXPECT_EQ(0, CVFile::Remove(Units(tooLong)));
    EXPECT_TRUE(Exists(tooLong));
}

TEST(VFileTimeStamp, ReportsModificationAndAccessAsLocalTime) {
    vostest::TempDir dir;
    const std::string path = dir.File("stamped");
    WriteFile(path, "x");

    struct tm local = {};
    local.tm_year = 2013 - 1900;
    local.tm_mon = 4;
    local.tm_mday = 7;
    local.tm_hour = 9;
    local.tm_min = 4;
    local.tm_sec = 3;
    local.tm_isdst = -1;
    const time_t modified = mktime(&local);
    struct utimbuf times;
    times.actime = modified + 3600;
    times.modtime = modified;
    ASSERT_EQ(0, utime(path.c_str(), &times));

    tagVTime changed, mod, access;
    ASSERT_EQ(1, CVFile::GetTimeStamp(Str(path), &changed, &mod, &access));
    EXPECT_EQ(2013, mod.nYear);
    EXPECT_EQ(5u, mod.nMonth);
    EXPECT_EQ(7u, mod.nDay);
    EXPECT_EQ(9u, mod.nHour);
    EXPECT_EQ(4u, mod.nMinute);
    EXPECT_EQ(3u, mod.nSecond);
    EXPECT_EQ(1, access == tagVTime(static_cast<long>(times.actime)));
    // The status changed just now, when utime ran.
    EXPECT_GE(changed.nYear, 2020);

    EXPECT_EQ(1, CVFile::GetTimeStamp(Str(path), nullptr, nullptr, nullptr));
    EXPECT_EQ(0, CVFile::GetTimeStamp(Str(dir.File("missing")), nullptr, nullptr, nullptr));
    EXPECT_EQ(0, CVFile::GetTimeStamp(Str(filetest::PathOfLength(dir.Path(), 300)), &mod, nullptr,
                                      nullptr));
}

TEST(VFileGetDir, ListsWithAndWithoutFilter) {
    vostest::TempDir dir;
    const char* files[] = {"a.txt", "b.TXT", "c.log", ".txt", ".profile", "读我.txt", "txt"};
    for (const char* f : files) WriteFile(dir.File(f), "x");
    ASSERT_EQ(0, mkdir(dir.File("d.txt").c_str(), 0755));

    const std::vector<std::string> all = {".profile", ".txt",  "a.txt", "b.TXT",
                                          "c.log",    "d.txt", "txt",   "读我.txt"};
    const std::vector<std::string> txt = {".txt", "a.txt", "d.txt", "读我.txt"};

    struct Case {
        std::string dirText;
        const char* filter;  // null: the form without a filter
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {dir.Path(), nullptr, all},
        {dir.Path(), "", all},
        {dir.Path() + "/", "txt", txt},
        {dir.Path(), ".txt", txt},
        {dir.Path(), "TXT", {"b.TXT"}},
        {dir.Path(), ".log", {"c.log"}},
        {dir.Path(), ".none", {}},
        {dir.Path() + "\\", nullptr, all},
    };
    for (const Case& c : cases) {
        CVStringArray out;
        const int n = c.filter == nullptr ? CVFile::GetDir(Str(c.dirText), out)
                                          : CVFile::GetDir(Str(c.dirText), Str(c.filter), out);
        EXPECT_EQ(static_cast<int>(c.expected.size()), n) << c.dirText << " filter "
                                                          << (c.filter ? c.filter : "(none)");
        EXPECT_EQ(c.expected, Names(out)) << c.dirText << " filter " << (c.filter ? c.filter : "(none)");
    }
}

TEST(VFileGetDir, NamesThatAreNotUtf8AreLeftOutOfTheListing) {
    vostest::TempDir dir;
    const char* good[] = {"a.txt", "b.txt", "c", "\xE5\xAD\x97.txt", "\xF0\x9F\x98\x80"};
    // A lone Latin-1 byte, an overlong "/", an encoded surrogate: made by
    // other programs, none of them would lead back to its file once decoded.
    const char* bad[] = {"\xE9", "x\xC0\xAFy.txt", "\xED\xA0\xBD.txt"};
    for (const char* f : good) WriteFile(dir.File(f), "x");
    for (const char* f : bad) WriteFile(dir.File(f), "x");
    std::vector<std::string> expected(std::begin(good), std::end(good));
    std::sort(expected.begin(), expected.end());

    CVStringArray out;
    EXPECT_EQ(5, CVFile::GetDir(Str(dir.Path()), out));
    EXPECT_EQ(expected, Names(out));
    CVStringArray txt;
    EXPECT_EQ(3, CVFile::GetDir(Str(dir.Path()), Str("txt"), txt));
}

TEST(VFileGetDir, RefusesBadParameters) {
    vostest::TempDir dir;
    WriteFile(dir.File("a.txt"), "x");

    CVStringArray filled;
    CVString already = Str("already");
    filled.Add(already);
    EXPECT_EQ(0, CVFile::GetDir(Str(dir.Path()), filled));
    EXPECT_EQ(0, CVFile::GetDir(Str(dir.Path()), Str("txt"), filled));
    ASSERT_EQ(1, filled.GetSize());
    EXPECT_EQ(0, filled[0].Compare(Str("already")));

    CVStringArray out;
    EXPECT_EQ(0, CVFile::GetDir(Str(dir.File("missing")), out));
    EXPECT_EQ(0, CVFile::GetDir(Str(std::string(256, 'a')), out));
    EXPECT_EQ(0, CVFile::GetDir(Str(dir.Path()), Str(std::string(32, 't')), out));
    EXPECT_EQ(0, out.GetSize());
}

TEST(VFileGetDir, FilterMustLeaveRoomForTheDot) {
    vostest::TempDir dir;
    const std::string with31 = "." + std::string(30, 'e');  // 31 bytes with the dot
    WriteFile(dir.File("name" + with31), "x");

    CVStringArray out;
    EXPECT_EQ(1, CVFile::GetDir(Str(dir.Path()), Str(with31), out));
    CVStringArray none;
    EXPECT_EQ(0, CVFile::GetDir(Str(dir.Path()), Str(std::string(31, 'e')), none));
    EXPECT_EQ(0, none.GetSize());
    CVStringArray thirty;
    EXPECT_EQ(1, CVFile::GetDir(Str(dir.Path()), Str(std::string(30, 'e')), thirty));
}

TEST(VFileGetDir, DirectoryMustLeaveRoomForTheSlash) {
    vostest::TempDir dir;
    // Directories of 510 and 511 UTF-8 bytes, built from components short
    // enough for the file system and from three-byte characters so that they
    // stay within 255 units.
    auto build = [&](size_t total) {
        std::string path = dir.Path();
        while (path.size() + 1 + 240 < total) {
            path += "/";
            for (int i = 0; i < 80; ++i) path += "字";
            mkdir(path.c_str(), 0755);
        }
        path += "/" + std::string(total - path.size() - 1, 'y');
        mkdir(path.c_str(), 0755);
        WriteFile(path + "/f", "x");
        return path;
    };
    const std::string fits = build(510);
    const std::string full = build(511);
    ASSERT_EQ(510u, fits.size());
    ASSERT_EQ(511u, full.size());
    ASSERT_TRUE(Exists(full + "/f"));
    ASSERT_LE(Str(full).GetLength(), 255);

    CVStringArray out;
    EXPECT_EQ(1, CVFile::GetDir(Str(fits), out));
    CVStringArray refused;
    EXPECT_EQ(0, CVFile::GetDir(Str(full), refused));
}
