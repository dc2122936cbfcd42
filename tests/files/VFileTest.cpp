// The file object: open modes, transfers, positions and lengthening.
#include <gtest/gtest.h>

#include <string.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "FileTestUtil.h"
#include "support/TestSupport.h"
#include "vos/vos.h"

using namespace _palex_zu;
using filetest::Exists;
using filetest::ReadFile;
using filetest::Str;
using filetest::WriteFile;

TEST(VFileOpen, StreamModeFollowsTheFlags) {
    struct Case {
        unsigned long flags;
        bool existing;
        int opened;
        const char* contentAfter;  // after writing "XY" at the start when opened
    };
    // An existing file holds "abcdef"; "<missing>" means no file afterwards.
    const Case cases[] = {
        {VFILE_OPEN_READ, true, 1, "abcdef"},  // "rb": the write is refused
        {VFILE_OPEN_READ, false, 0, "<missing>"},
        {VFILE_OPEN_READ | VFILE_OPEN_CREATE, false, 0, "<missing>"},  // CREATE has no effect
        {VFILE_OPEN_WRITE, true, 1, "XYcdef"},                           // "r+b" keeps content
        {VFILE_OPEN_WRITE, false, 0, "<missing>"},
        {VFILE_OPEN_READWRITE, true, 1, "XYcdef"},
        {VFILE_OPEN_READWRITE, false, 0, "<missing>"},
        {VFILE_OPEN_WRITE | VFILE_OPEN_CREATE, true, 1, "XY"},  // "w+b" cuts
        {VFILE_OPEN_READWRITE | VFILE_OPEN_CREATE, true, 1, "XY"},
        {VFILE_OPEN_READWRITE | VFILE_OPEN_CREATE, false, 1, "XY"},
    };
    for (const Case& c : cases) {
        vostest::TempDir dir;
        const std::string path = dir.File("f.bin");
        if (c.existing) WriteFile(path, "abcdef");
        CVFile file;
        EXPECT_EQ(c.opened, file.Open(Str(path), c.flags)) << "flags " << std::hex << c.flags;
        EXPECT_EQ(c.opened, file.IsOpened());
        if (c.opened) {
            EXPECT_EQ(static_cast<uint32_t>(c.flags), file.m_dwFlags);
            EXPECT_EQ(0, file.GetPosition());
            file.Write("XY", 2);
            EXPECT_EQ(0, file.Close());
        } else {
            EXPECT_EQ(0u, file.m_dwFlags);
        }
        EXPECT_EQ(c.contentAfter, ReadFile(path)) << "flags " << std::hex << c.flags;
    }
}

TEST(VFileOpen, InvalidAccessValueFailsAndLeavesTheFileAlone) {
    vostest::TempDir dir;
    const std::string path = dir.File("keep.txt");
    WriteFile(path, "precious");
    const unsigned long flags[] = {0, 3, 5, 6, 7, VFILE_OPEN_CREATE, 0x1003, 0x1007};
    for (unsigned long f : flags) {
        CVFile file;
        EXPECT_EQ(0, file.Open(Str(path), f)) << "flags " << std::hex << f;
        EXPECT_EQ(0, file.IsOpened());
        EXPECT_EQ("precious", ReadFile(path)) << "flags " << std::hex << f;
    }
    // Nor is a missing file created.
    CVFile file;
    EXPECT_EQ(0, file.Open(Str(dir.File("new.txt")), 0x1003));
    EXPECT_FALSE(Exists(dir.File("new.txt")));
}

TEST(VFileOpen, BackslashesSeparateLikeSlashes) {
    vostest::TempDir dir;
    ASSERT_EQ(0, mkdir(dir.File("sub").c_str(), 0755));
    WriteFile(dir.File("sub/f.txt"), "hello");
    CVFile file;
    ASSERT_EQ(1, file.Open(Str(dir.Path() + "\\sub\\f.txt"), VFILE_OPEN_READ));
    char buf[16] = {0};
    EXPECT_EQ(5u, file.Read(buf, sizeof(buf)));
    EXPECT_STREQ("hello", buf);
}

TEST(VFileOpen, FailedOpenClosesTheEarlierFile) {
    vostest::TempDir dir;
    WriteFile(dir.File("a"), "a");
    CVFile file;
    ASSERT_EQ(1, file.Open(Str(dir.File("a")), VFILE_OPEN_READWRITE));
    EXPECT_EQ(0, file.Open(Str(dir.File("missing")), VFILE_OPEN_READWRITE));
    EXPECT_EQ(0, file.IsOpened());
    EXPECT_EQ(0u, file.m_dwFlags);
    EXPECT_EQ(0, file.Close());  // already closed
}

TEST(VFileOpen, ChinesePathIsStoredAsUtf8) {
    vostest::TempDir dir;
    const std::string path = dir.File("数据文件.txt");
    {
        CVFile file;
        ASSERT_EQ(1, file.Open(Str(path), VFILE_OPEN_READWRITE | VFILE_OPEN_CREATE));
        EXPECT_EQ(3u, file.Write("abc", 3));
    }
    // The name on disk is the UTF-8 form of the UTF-16 path.
    EXPECT_EQ("abc", ReadFile(path));
}

TEST(VFileOpen, PathMustFitTwoHundredFiftyFiveUtf8Bytes) {
    vostest::TempDir dir;
    const std::string fits = filetest::PathOfLength(dir.Path(), 255);
    const std::string tooLong = filetest::PathOfLength(dir.Path(), 256);
    CVFile file;
    EXPECT_EQ(1, file.Open(Str(fits), VFILE_OPEN_READWRITE | VFILE_OPEN_CREATE));
    EXPECT_EQ(0, file.Open(Str(tooLong), VFILE_OPEN_READWRITE | VFILE_OPEN_CREATE));
    EXPECT_FALSE(Exists(tooLong));

    // 90 characters of three UTF-8 bytes each: few units, too many bytes.
    std::string wide = dir.Path() + "/";
    for (int i = 0; i < 90; ++i) wide += "字";
    EXPECT_EQ(0, file.Open(Str(wide), VFILE_OPEN_READWRITE | VFILE_OPEN_CREATE));
    EXPECT_EQ(0, file.IsOpened());
}

TEST(VFileTransfer, ReadAndWriteRules) {
    vostest::TempDir dir;
    CVFile file;
    char buf[8] = {0};
    EXPECT_EQ(0u, file.Read(buf, sizeof(buf)));  // closed
    EXPECT_EQ(0u, file.Write("x", 1));
    EXPECT_EQ(0, file.Flush());

    ASSERT_EQ(1, file.Open(Str(dir.File("t")), VFILE_OPEN_READWRITE | VFILE_OPEN_CREATE));
    EXPECT_EQ(0u, file.Write(nullptr, 0));
    EXPECT_EQ(0u, file.Write(nullptr, 4));
    EXPECT_EQ(0u, file.Read(nullptr, 0));
    EXPECT_EQ(0u, file.Read(nullptr, 4));
    EXPECT_EQ(6u, file.Write("123456", 6));
    EXPECT_EQ(0, file.Flush());
    EXPECT_EQ(0, file.SeekToBegin());
    EXPECT_EQ(4u, file.Read(buf, 4));
    EXPECT_EQ(0, memcmp(buf, "1234", 4));
    EXPECT_EQ(2u, file.Read(buf, sizeof(buf)));  // short at the end
    EXPECT_EQ(0u, file.Read(buf, sizeof(buf)));  // at the end
}

TEST(VFilePosition, SeekLengthAndPosition) {
    vostest::TempDir dir;
    CVFile file;
    EXPECT_EQ(-1, file.Seek(0, VFILE_SEEK_BEGIN));
    EXPECT_EQ(0, file.GetPosition());
    EXPECT_EQ(0u, file.GetLength());
    EXPECT_EQ(0, file.SeekToEnd());
    EXPECT_EQ(0, file.SeekToBegin());

    WriteFile(dir.File("p"), "0123456789");
    ASSERT_EQ(1, file.Open(Str(dir.File("p")), VFILE_OPEN_READ));
    EXPECT_EQ(4, file.Seek(4, VFILE_SEEK_BEGIN));
    EXPECT_EQ(10u, file.GetLength());
    EXPECT_EQ(4, file.GetPosition());  // GetLength left it where it was
    EXPECT_EQ(6, file.Seek(2, VFILE_SEEK_CURRENT));
    EXPECT_EQ(8, file.Seek(-2, VFILE_SEEK_END));
    EXPECT_EQ(8, file.Seek(-100, VFILE_SEEK_BEGIN));  // refused: position kept
    EXPECT_EQ(10, file.SeekToEnd());
    EXPECT_EQ(0, file.SeekToBegin());
    EXPECT_EQ(0, file.GetPosition());
}

TEST(VFilePosition, LengthOfAStreamWithoutPositionsIsZero) {
    vostest::TempDir dir;
    const std::string fifo = dir.File("pipe");
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    CVFile file;
    // Read and write access opens a FIFO without waiting for a peer.
    ASSERT_EQ(1, file.Open(Str(fifo), VFILE_OPEN_READWRITE));
    EXPECT_EQ(0u, file.GetLength()) << "ftell's failure is not a length";
}

namespace {

// Gives s exactly the units of text, zero units included.
void SetUnits(CVString& s, const std::u16string& text) {
    unsigned short* buffer = s.GetBufferSetLength(static_cast<int>(text.size()));
    memcpy(buffer, text.data(), text.size() * sizeof(unsigned short));
}

}  // namespace

TEST(VFileOpen, PathsThatNameNoSingleFileAreRefused) {
    vostest::TempDir dir;
    // "config", a zero unit, ".jpg": the system must never see "config".
    std::u16string path = vostest::U16(dir.File("config").c_str());
    path += u'\0';
    path += u".jpg";
    CVString withZero;
    SetUnits(withZero, path);
    ASSERT_EQ(static_cast<int>(path.size()), withZero.GetLength());
    WriteFile(dir.File("config"), "keep");
    CVFile file;
    EXPECT_EQ(0, file.Open(withZero, VFILE_OPEN_READWRITE | VFILE_OPEN_CREATE));
    EXPECT_EQ(0, file.IsOpened());
    EXPECT_EQ("keep", ReadFile(dir.File("config")));
    EXPECT_EQ(0, CVFile::GetTimeStamp(withZero, nullptr, nullptr, nullptr));

    // A surrogate half without its partner has no UTF-8 form: replaced, it
    // would name another file.
    const char16_t high = 0xD83D, low = 0xDE00;
    for (const std::u16string& tail : {u"a" + std::u16string(1, high), u"a" + std::u16string(1, low) + u"b",
                                       u"a" + std::u16string(1, low) + std::u16string(1, high)}) {
        const std::u16string lone = vostest::U16(dir.Path().c_str()) + u"/" + tail;
        CVString lonePath(vostest::Units(lone));
        EXPECT_EQ(0, file.Open(lonePath, VFILE_OPEN_READWRITE | VFILE_OPEN_CREATE));
        EXPECT_EQ(0, CVFile::IsFileExist(vostest::Units(lone)));
        EXPECT_EQ(0, CVFile::CreateDirectory(vostest::Units(lone)));
    }
    EXPECT_FALSE(Exists(dir.File("a\xEF\xBF\xBD")));
    EXPECT_FALSE(Exists(dir.File("a\xEF\xBF\xBD" "b")));

    std::u16string dirZero = vostest::U16(dir.Path().c_str());
    dirZero += u'\0';
    dirZero += u"x";
    CVString dirWithZero;
    SetUnits(dirWithZero, dirZero);
    ASSERT_EQ(static_cast<int>(dirZero.size()), dirWithZero.GetLength());
    CVArray<CVString, CVString&> names;
    EXPECT_EQ(0, CVFile::GetDir(dirWithZero, names));
    EXPECT_EQ(0, names.GetSize());
}

TEST(VFileOpen, NameBeyondTheBasicPlaneRoundTrips) {
    vostest::TempDir dir;
    const std::string path = dir.File("smile\xF0\x9F\x98\x80.txt");  // U+1F600
    {
        CVFile file;
        ASSERT_EQ(1, file.Open(Str(path), VFILE_OPEN_READWRITE | VFILE_OPEN_CREATE));
        EXPECT_EQ(3u, file.Write("abc", 3));
    }
    EXPECT_EQ("abc", ReadFile(path)) << "the name on disk is the four-byte UTF-8 form";

    // One made by another program, listed and reopened through the listing.
    WriteFile(dir.File("\xF0\xA0\x80\x80"), "xyz");  // U+20000
    CVArray<CVString, CVString&> names;
    ASSERT_EQ(2, CVFile::GetDir(Str(dir.Path()), names));
    for (int i = 0; i < names.GetSize(); ++i) {
        CVString full = Str(dir.Path() + "/");
        full += names[i];
        CVFile file;
        EXPECT_EQ(1, file.Open(full, VFILE_OPEN_READ)) << "listed name " << i;
        EXPECT_EQ(3u, file.GetLength()) << "listed name " << i;
    }
}

namespace {

// Leaves freed heap blocks full of 0xAB so that a lengthening that wrote
// uninitialised bytes would show them.
void DirtyTheHeap() {
    std::vector<void*> blocks;
    for (int i = 0; i < 8; ++i) {
        void* p = CVMem::Allocate(10240, __FILE__, __LINE__);
        if (p != nullptr) memset(p, 0xAB, 10240);
        blocks.push_back(p);
    }
    for (void* p : blocks) CVMem::Deallocate(p);
}

}  // namespace

TEST(VFileSetLength, GrowsWithZeroBytesInPieces) {
    vostest::TempDir dir;
    const std::string path = dir.File("grow");
    WriteFile(path, "head");
    CVFile file;
    ASSERT_EQ(1, file.Open(Str(path), VFILE_OPEN_READWRITE));
    EXPECT_EQ(1, file.Seek(1, VFILE_SEEK_BEGIN));
    DirtyTheHeap();
    EXPECT_EQ(1, file.SetLength(15004));  // one piece of 10240 and one of 4760
    EXPECT_EQ(15004u, file.GetLength());
    file.Close();

    const std::string content = ReadFile(path);
    ASSERT_EQ(15004u, content.size());
    EXPECT_EQ("head", content.substr(0, 4));
    EXPECT_EQ(std::string(15000, '\0'), content.substr(4));
}

TEST(VFileSetLength, RefusesWhatItCannotDo) {
    vostest::TempDir dir;
    const std::string path = dir.File("f");
    WriteFile(path, "0123456789");
    CVFile file;
    EXPECT_EQ(0, file.SetLength(100));  // closed

    ASSERT_EQ(1, file.Open(Str(path), VFILE_OPEN_READWRITE));
    EXPECT_EQ(0, file.SetLength(10));  // equal
    EXPECT_EQ(0, file.SetLength(3));   // shorter
    EXPECT_EQ(10u, file.GetLength());

    // Read-only files are never lengthened, whether the open said only READ
    // or READ with the (ineffective) CREATE bit.
    const unsigned long readOnly[] = {VFILE_OPEN_READ, VFILE_OPEN_READ | VFILE_OPEN_CREATE};
    for (unsigned long flags : readOnly) {
        ASSERT_EQ(1, file.Open(Str(path), flags));
        EXPECT_EQ(0, file.SetLength(20000)) << "flags " << std::hex << flags;
        file.Close();
        EXPECT_EQ(10u, ReadFile(path).size()) << "flags " << std::hex << flags;
    }
}

TEST(VFileSetLength, ShortWriteIsReportedAsFailure) {
    CVFile file;
    if (!file.Open(Str("/dev/full"), VFILE_OPEN_READWRITE)) GTEST_SKIP() << "no /dev/full";
    EXPECT_EQ(0, file.SetLength(20000));
}

TEST(VFileSetLength, AllocationFailureKeepsThePiecesWritten) {
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "allocation hook not built in";
    vostest::TempDir dir;
    CVFile file;
    ASSERT_EQ(1, file.Open(Str(dir.File("f")), VFILE_OPEN_READWRITE | VFILE_OPEN_CREATE));
    {
        vostest::AllocHookGuard guard;
        vostest::FailAllocationAt(2);  // the second piece buffer
        EXPECT_EQ(0, file.SetLength(25000));
    }
    EXPECT_EQ(10240u, file.GetLength());
    EXPECT_EQ(1, file.SetLength(25000));
    EXPECT_EQ(25000u, file.GetLength());
}

TEST(VFileLifetime, DestructorClosesTheStream) {
    vostest::TempDir dir;
    const std::string path = dir.File("d");
    {
        CVFile file;
        ASSERT_EQ(1, file.Open(Str(path), VFILE_OPEN_WRITE | VFILE_OPEN_CREATE));
        file.Write("buffered", 8);
    }
    // Closing flushed the stream's buffer.
    EXPECT_EQ("buffered", ReadFile(path));
}
