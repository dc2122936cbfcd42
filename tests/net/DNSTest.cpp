// The name cache and the resolver thread. Lookups stay on this machine:
// "localhost" and literal addresses come from the hosts file and the address
// parser, and the failing name has a label longer than a DNS name may carry,
// so the resolver library refuses it before any query could leave.
#include <arpa/inet.h>
#include <string.h>

#include <chrono>
#include <string>

#include "gtest/gtest.h"
#include "support/TestSupport.h"
#include "vos/vos.h"

using namespace _palex_zu;

namespace {

const std::string kUnresolvable = std::string(70, 'x') + ".invalid";

tag_DomainParam Task(const std::string& host, unsigned short port) {
    tag_DomainParam task;
    memset(&task, 0, sizeof(task));
    strncpy(task.szHost, host.c_str(), sizeof(task.szHost) - 1);
    task.nPort = htons(port);
    return task;
}

bool Cached(const char* host, unsigned int& address, unsigned int& port) {
    CVString name(host);
    return CVDNSCache::Instance()->GetHostByName(name, address, port) == 1;
}

int QueuedTasks(CVDNSParse* parser) {
    parser->m_mutex.Lock();
    const int n = parser->m_arrTasks.GetSize();
    parser->m_mutex.Unlock();
    return n;
}

class DnsTest : public ::testing::Test {
protected:
    // The cache exists before any resolver thread, as a socket worker
    // arranges it.
    void SetUp() override { CVDNSCache::Instance(); }
    void TearDown() override {
        CVDNSParse::ReleaseInstance();
        CVDNSCache::ReleaseInstance();
    }
};

}  // namespace

TEST_F(DnsTest, CacheRefusesEmptyNamesAndMissesLeaveOutputsAlone) {
    CVDNSCache* cache = CVDNSCache::Instance();
    ASSERT_NE(nullptr, cache);
    EXPECT_EQ(cache, CVDNSCache::Instance());
    CVString empty;
    CVString zeroLength("");
    unsigned int address = 7, port = 9;
    EXPECT_EQ(0, cache->AddHostAndName(empty, 1, 2));
    EXPECT_EQ(0, cache->GetHostByName(empty, address, port));
    EXPECT_EQ(0, cache->GetHostByName(zeroLength, address, port));
    CVString absent("absent.invalid");
    EXPECT_EQ(0, cache->GetHostByName(absent, address, port));
    EXPECT_EQ(7u, address);
    EXPECT_EQ(9u, port);
}

TEST_F(DnsTest, CacheOverwritesAnEntryInPlace) {
    CVDNSCache* cache = CVDNSCache::Instance();
    CVString a("a.example");
    CVString b("b.example");
    EXPECT_EQ(1, cache->AddHostAndName(a, 0x0100007f, 80));
    EXPECT_EQ(1, cache->AddHostAndName(b, 0x0200007f, 81));
    EXPECT_EQ(1, cache->AddHostAndName(a, 0x0300007f, 82));
    EXPECT_EQ(2, cache->m_arrAddress.GetSize()) << "the arrays do not grow for a known name";
    EXPECT_EQ(2, cache->m_arrPort.GetSize());
    unsigned int address = 0, port = 0;
    ASSERT_EQ(1, cache->GetHostByName(a, address, port));
    EXPECT_EQ(0x0300007fu, address);
    EXPECT_EQ(82u, port);
    ASSERT_EQ(1, cache->GetHostByName(b, address, port));
    EXPECT_EQ(0x0200007fu, address);
}

TEST_F(DnsTest, CacheDropsAnIndexEntryOutsideTheArrays) {
    CVDNSCache* cache = CVDNSCache::Instance();
    CVString stale("stale.example");
    cache->m_mapIndex.SetAt(stale, reinterpret_cast<void*>(static_cast<intptr_t>(5)));
    unsigned int address = 0, port = 0;
    EXPECT_EQ(0, cache->GetHostByName(stale, address, port));
    EXPECT_EQ(0, cache->m_mapIndex.GetCount());
    // Added again, it takes the next position of the arrays.
    EXPECT_EQ(1, cache->AddHostAndName(stale, 0x0100007f, 1));
    ASSERT_EQ(1, cache->GetHostByName(stale, address, port));
    EXPECT_EQ(0x0100007fu, address);
}

TEST_F(DnsTest, ReleasedCacheComesBackEmpty) {
    CVString name("kept.example");
    CVDNSCache::Instance()->AddHostAndName(name, 1, 1);
    CVDNSCache::ReleaseInstance();
    CVDNSCache::ReleaseInstance();  // a second release does nothing
    unsigned int address = 0, port = 0;
    EXPECT_FALSE(Cached("kept.example", address, port));
}

TEST_F(DnsTest, ResolverFillsTheCacheFromLocalNames) {
    CVDNSParse* parser = CVDNSParse::GetInstance();
    ASSERT_NE(nullptr, parser);
    EXPECT_EQ(parser, CVDNSParse::GetInstance());
    struct Case {
        const char* host;
        unsigned short port;
        const char* address;
    } cases[] = {{"localhost", 8080, "127.0.0.1"}, {"127.0.0.2", 81, "127.0.0.2"}, {"127.1.2.3", 82, "127.1.2.3"}};
    for (const Case& c : cases) {
        tag_DomainParam task = Task(c.host, c.port);
        parser->AddDNSTask(task);
    }
    for (const Case& c : cases) {
        unsigned int address = 0, port = 0;
        ASSERT_TRUE(vostest::WaitFor([&] { return Cached(c.host, address, port); })) << c.host;
        EXPECT_EQ(inet_addr(c.address), address) << c.host;
        EXPECT_EQ(static_cast<unsigned int>(htons(c.port)), port) << c.host;
    }
    EXPECT_TRUE(vostest::WaitFor([&] { return QueuedTasks(parser) == 0; }));
}

TEST_F(DnsTest, TasksForAQueuedNameAreMerged) {
    CVDNSParse* parser = CVDNSParse::GetInstance();
    // Holding the parser's lock keeps the resolver from taking the task away
    // between the two additions.
    parser->m_mutex.Lock();
    tag_DomainParam first = Task("localhost", 1);
    tag_DomainParam second = Task("localhost", 2);
    tag_DomainParam other = Task("127.0.0.9", 3);
    parser->AddDNSTask(first);
    parser->AddDNSTask(second);
    parser->AddDNSTask(other);
    EXPECT_EQ(2, parser->m_arrTasks.GetSize());
    EXPECT_EQ(2, parser->m_mapNames.GetCount());
    parser->m_mutex.Unlock();
    unsigned int address = 0, port = 0;
    ASSERT_TRUE(vostest::WaitFor([&] { return Cached("localhost", address, port); }));
    EXPECT_EQ(static_cast<unsigned int>(htons(1)), port) << "the first task's port is kept";
}

TEST_F(DnsTest, FailedLookupIsDroppedAndMayBeAskedAgain) {
    CVDNSParse* parser = CVDNSParse::GetInstance();
    tag_DomainParam task = Task(kUnresolvable, 80);
    const auto start = std::chrono::steady_clock::now();
    parser->AddDNSTask(task);
    ASSERT_TRUE(vostest::WaitFor([&] { return QueuedTasks(parser) == 0; }));
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    RecordProperty("failed_lookup_ms", static_cast<int>(took.count()));
    unsigned int address = 0, port = 0;
    EXPECT_FALSE(Cached(kUnresolvable.c_str(), address, port));
    EXPECT_EQ(0, parser->m_mapNames.GetCount());

    parser->m_mutex.Lock();
    parser->AddDNSTask(task);
    EXPECT_EQ(1, parser->m_arrTasks.GetSize()) << "a name is accepted again once its task is gone";
    parser->m_mutex.Unlock();
}

TEST_F(DnsTest, EmptyTaskIsNeverLookedUp) {
    CVDNSParse* parser = CVDNSParse::GetInstance();
    tag_DomainParam empty = Task("", 80);
    parser->AddDNSTask(empty);
    ASSERT_TRUE(vostest::WaitFor([&] { return QueuedTasks(parser) == 0; }));
    EXPECT_EQ(0, CVDNSCache::Instance()->m_mapIndex.GetCount());
}

TEST_F(DnsTest, ReleaseEndsAnIdleResolverPromptly) {
    CVDNSParse* parser = CVDNSParse::GetInstance();
    tag_DomainParam task = Task("127.0.0.1", 80);
    parser->AddDNSTask(task);
    ASSERT_TRUE(vostest::WaitFor([&] { return QueuedTasks(parser) == 0; }));
    ASSERT_NE(nullptr, parser->m_thread.GetHandle());
    const auto start = std::chrono::steady_clock::now();
    CVDNSParse::ReleaseInstance();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    // One 100 ms turn, with room for a slow machine.
    EXPECT_LT(took.count(), 3000);
    EXPECT_EQ(nullptr, CVDNSParse::s_pDNSParse);
    CVDNSParse::ReleaseInstance();
    EXPECT_EQ(nullptr, CVDNSParse::s_pDNSParse);
}

TEST_F(DnsTest, ResolverThatCannotBeAllocatedIsNull) {
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "allocation hook not built in";
    CVDNSParse::ReleaseInstance();
    {
        vostest::AllocHookGuard guard;
        vostest::FailAllocationAt(1);
        EXPECT_EQ(nullptr, CVDNSParse::GetInstance());
    }
    EXPECT_NE(nullptr, CVDNSParse::GetInstance()) << "a later call tries again";
}
