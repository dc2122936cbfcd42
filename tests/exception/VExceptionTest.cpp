#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "support/TestSupport.h"
#include "vos/vos.h"

using namespace _palex_zu;

namespace {

// Ends a test with the record released, whatever it did.
struct RecordGuard {
    ~RecordGuard() { CVException::Cleanup(); }
};

bool HeldElsewhere(CVMutex& m) {
    int got = 0;
    std::thread t([&] {
        got = m.Lock(0);
        if (got) m.Unlock();
    });
    t.join();
    return got == 0;
}

}  // namespace

// The store keeps nothing: no form of SetLastError may write the record, nor
// touch one that is not there.
TEST(VException, SetLastErrorLeavesTheRecordAlone) {
    RecordGuard guard;
    char message[] = "send failed";
    CVErrorInfo info;
    info.m_strMessage = "open failed";
    info.m_ulLine = 12;
    auto setInEveryForm = [&] {
        CVException::SetLastError(CVString("read failed"), "zu/vos/vsi/VFile", "vos/vsi/android/VFile", 10);
        CVException::SetLastError(message, "zu/vos/vsi/VMsg", "vos/vsi/android/VMsg", 11);
        CVException::SetLastError(CVString("a"), CVString("zu/vos/vsi/CVDeviceAPI"), CVString("b"), 12);
        CVException::SetLastError(info);
    };
    CVException::Cleanup();
    setInEveryForm();
    EXPECT_EQ(nullptr, CVException::m_pLastError) << "no record is made";

    CVException::Init();
    ASSERT_NE(nullptr, CVException::m_pLastError);
    setInEveryForm();
    EXPECT_EQ(0, CVException::m_pLastError->m_strMessage.GetLength()) << "the record is not touched";
    EXPECT_EQ(0, CVException::m_pLastError->m_strModule.GetLength());
    EXPECT_EQ(0, CVException::m_pLastError->m_strFile.GetLength());
}

TEST(VException, InitKeepsTheFirstRecordAndCleanupIsIdempotent) {
    RecordGuard guard;
    CVException::Cleanup();
    EXPECT_EQ(nullptr, CVException::m_pLastError);
    CVException::Init();
    CVErrorInfo* first = CVException::m_pLastError;
    ASSERT_NE(nullptr, first);
    CVException::Init();
    EXPECT_EQ(first, CVException::m_pLastError);
    CVException::Cleanup();
    EXPECT_EQ(nullptr, CVException::m_pLastError);
    CVException::Cleanup();
    EXPECT_EQ(nullptr, CVException::m_pLastError);
}

TEST(VException, InitWithoutMemoryLeavesNoRecordAndCanRetry) {
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "needs a test-hook build";
    RecordGuard guard;
    CVException::Cleanup();
    {
        vostest::AllocHookGuard hook;
        vostest::FailAllocationAt(1);
        CVException::Init();
        EXPECT_EQ(nullptr, CVException::m_pLastError);
        CVException::Cleanup();  // nothing to free
    }
    CVException::Init();
    EXPECT_NE(nullptr, CVException::m_pLastError);
}

TEST(VException, GlobalMutexesAreCreatedOnce) {
    struct Case {
        const char* name;
        CVMutex& mutex;
        void (*create)();
    } cases[] = {
        {"MutexError", CVException::m_cMutexError, CVException::CreateMutexError},
        {"MutexMem", CVException::m_cMutexMem, CVException::CreateMutexMem},
        {"MutexFile", CVException::m_cMutexFile, CVException::CreateMutexFile},
    };
    for (auto& c : cases) {
        EXPECT_EQ(0u, c.mutex.GetHandle()) << c.name << " exists only once created";
        c.create();
        ASSERT_NE(0u, c.mutex.GetHandle()) << c.name;
        ASSERT_EQ(1, c.mutex.Lock(0)) << c.name;
        c.create();  // a second creation would hand out a fresh, unlocked mutex
        EXPECT_TRUE(HeldElsewhere(c.mutex)) << c.name << " was created again";
        c.mutex.Unlock();
        EXPECT_FALSE(HeldElsewhere(c.mutex)) << c.name;
    }
}

TEST(VException, MemoryLeaksAreForwardedToTheMemoryRegistry) {
    char a[100], b[50];
    const int peakBefore = CVException::m_cMemLeakMgr.m_nPeakSize;
    const int expectedPeak = peakBefore > 150 ? peakBefore : 150;
    EXPECT_EQ(0, CVException::RegisterMemoryLeak(nullptr, 1, "x.cpp", 1));
    EXPECT_EQ(1, CVException::RegisterMemoryLeak(a, 100, "alloc.cpp", 7));
    EXPECT_EQ(1, CVException::RegisterMemoryLeak(b, 50, "alloc.cpp", 9));
    EXPECT_EQ(1, CVException::RegisterMemoryLeak(a, 999, "other.cpp", 1)) << "first registration wins";

    _VLeakInfo* records = nullptr;
    int count = -1, peak = -1;
    ASSERT_EQ(1, CVException::CheckMemoryLeak(records, count, peak));
    ASSERT_EQ(2, count);
    EXPECT_EQ(expectedPeak, peak);
    EXPECT_EQ(static_cast<void*>(a), records[0].pAddr);
    EXPECT_EQ(100u, records[0].nSize);
    EXPECT_STREQ("alloc.cpp", records[0].pszFile);
    EXPECT_EQ(7, records[0].nLine);
    EXPECT_EQ(0, CVException::m_cFileLeakMgr.m_nCount) << "the file registry is apart";

    EXPECT_EQ(1, CVException::UnregisterMemoryLeak(a));
    EXPECT_EQ(0, CVException::UnregisterMemoryLeak(a));
    EXPECT_EQ(50, CVException::m_cMemLeakMgr.m_nCurSize);
    EXPECT_EQ(1, CVException::UnregisterMemoryLeak(b));
    EXPECT_EQ(0, CVException::CheckMemoryLeak(records, count, peak));
    EXPECT_EQ(0, count);
    EXPECT_EQ(expectedPeak, peak) << "the peak never falls";
}

TEST(VException, FileLeaksAreForwardedToTheFileRegistry) {
    CVFile* f1 = reinterpret_cast<CVFile*>(0x1000);
    CVFile* f2 = reinterpret_cast<CVFile*>(0x2000);
    EXPECT_EQ(1, CVException::RegisterFileLeak(f1, "open.cpp", 3));
    EXPECT_EQ(1, CVException::RegisterFileLeak(f2, "open.cpp", 4));
    _VLeakInfo* records = nullptr;
    int count = -1;
    ASSERT_EQ(1, CVException::CheckFileLeak(records, count));
    ASSERT_EQ(2, count);
    EXPECT_EQ(static_cast<void*>(f2), records[1].pAddr);
    EXPECT_EQ(4, records[1].nLine);
    EXPECT_LE(2, CVException::m_cFileLeakMgr.m_nPeakSize) << "two files open at once";
    EXPECT_EQ(0, CVException::m_cMemLeakMgr.m_nCount) << "the memory registry is apart";

    EXPECT_EQ(1, CVException::UnregisterFileLeak(f1));
    EXPECT_EQ(1, CVException::UnregisterFileLeak(f2));
    EXPECT_EQ(0, CVException::UnregisterFileLeak(f2));
    EXPECT_EQ(0, CVException::CheckFileLeak(records, count));
    EXPECT_EQ(0, count);
}

TEST(VException, CheckedTablesStayAsTheyWereWhenChecked) {
    // What a check hands out is the caller's to read, whatever other
    // threads register or unregister afterwards.
    char a[4], b[4];
    CVFile* f1 = reinterpret_cast<CVFile*>(0x4000);
    CVFile* f2 = reinterpret_cast<CVFile*>(0x5000);
    ASSERT_EQ(1, CVException::RegisterMemoryLeak(a, 4, "a.cpp", 1));
    ASSERT_EQ(1, CVException::RegisterMemoryLeak(b, 4, "b.cpp", 2));
    ASSERT_EQ(1, CVException::RegisterFileLeak(f1, "f1.cpp", 3));
    ASSERT_EQ(1, CVException::RegisterFileLeak(f2, "f2.cpp", 4));
    _VLeakInfo* mem = nullptr;
    _VLeakInfo* files = nullptr;
    int memCount = 0, fileCount = 0, peak = 0;
    ASSERT_EQ(1, CVException::CheckMemoryLeak(mem, memCount, peak));
    ASSERT_EQ(1, CVException::CheckFileLeak(files, fileCount));
    ASSERT_EQ(2, memCount);
    ASSERT_EQ(2, fileCount);
    // Removing the first entries moves the registries' own tables down, and
    // enough new entries make them grow into new memory.
    EXPECT_EQ(1, CVException::UnregisterMemoryLeak(a));
    EXPECT_EQ(1, CVException::UnregisterFileLeak(f1));
    static char filler[200];
    for (char& c : filler) ASSERT_EQ(1, CVException::RegisterMemoryLeak(&c, 1, "fill.cpp", 5));
    EXPECT_EQ(static_cast<void*>(a), mem[0].pAddr);
    EXPECT_STREQ("a.cpp", mem[0].pszFile);
    EXPECT_EQ(static_cast<void*>(b), mem[1].pAddr);
    EXPECT_EQ(static_cast<void*>(f1), files[0].pAddr);
    EXPECT_EQ(static_cast<void*>(f2), files[1].pAddr);

    for (char& c : filler) CVException::UnregisterMemoryLeak(&c);
    EXPECT_EQ(1, CVException::UnregisterMemoryLeak(b));
    EXPECT_EQ(1, CVException::UnregisterFileLeak(f2));
    EXPECT_EQ(0, CVException::CheckMemoryLeak(mem, memCount, peak));
    EXPECT_EQ(0, memCount);
    EXPECT_EQ(0, CVException::CheckFileLeak(files, fileCount));
    EXPECT_EQ(0, fileCount);
}

TEST(VException, PrintLogsEveryRegisteredEntry) {
    char block[8];
    CVFile* file = reinterpret_cast<CVFile*>(0x3000);
    ASSERT_EQ(1, CVException::RegisterMemoryLeak(block, 8, "pool.cpp", 42));
    ASSERT_EQ(1, CVException::RegisterFileLeak(file, "log.cpp", 17));

    testing::internal::CaptureStderr();
    const int blocks = CVException::PrintMemoryLeak();
    const int files = CVException::PrintFileLeak();
    const std::string out = testing::internal::GetCapturedStderr();
    EXPECT_EQ(1, blocks);
    EXPECT_EQ(1, files);
    EXPECT_NE(std::string::npos, out.find("8 bytes, allocated at pool.cpp:42")) << out;
    EXPECT_NE(std::string::npos, out.find("opened at log.cpp:17")) << out;
    EXPECT_NE(std::string::npos, out.find("memory leaks: 1 blocks")) << out;

    CVException::UnregisterMemoryLeak(block);
    CVException::UnregisterFileLeak(file);
    testing::internal::CaptureStderr();
    EXPECT_EQ(0, CVException::PrintMemoryLeak());
    EXPECT_EQ(0, CVException::PrintFileLeak());
    const std::string empty = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::string::npos, empty.find("leak:")) << empty;
}

TEST(VException, ConcurrentRegistrationsAreAllKept) {
    constexpr int kThreads = 4;
    constexpr int kEach = 300;  // past several growth steps of the table
    static char blocks[kThreads][kEach];
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kEach; ++i) CVException::RegisterMemoryLeak(&blocks[t][i], 1, "t.cpp", i);
            for (int i = 0; i < kEach; i += 2) CVException::UnregisterMemoryLeak(&blocks[t][i]);
        });
    }
    for (auto& th : threads) th.join();
    _VLeakInfo* records = nullptr;
    int count = 0, peak = 0;
    ASSERT_EQ(1, CVException::CheckMemoryLeak(records, count, peak));
    EXPECT_EQ(kThreads * kEach / 2, count);
    EXPECT_EQ(kThreads * kEach / 2, CVException::m_cMemLeakMgr.m_nCurSize);
    for (int t = 0; t < kThreads; ++t)
        for (int i = 1; i < kEach; i += 2) EXPECT_EQ(1, CVException::UnregisterMemoryLeak(&blocks[t][i]));
    EXPECT_EQ(0, CVException::CheckMemoryLeak(records, count, peak));
}
