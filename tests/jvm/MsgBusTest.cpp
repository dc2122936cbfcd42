#include <atomic>
#include <thread>

#include "MsgBusFixture.h"
#include "support/TestSupport.h"

using _palex_zu::CVMsg;

TEST_F(MsgBusTest, SendDeliversInRegistrationOrderUntilConsumed) {
    std::vector<Delivery> log;
    RecordingObserver a("a", &log), b("b", &log), all("all", &log), c("c", &log);
    ASSERT_EQ(1, CVMsg::AttachMsgObserver(20, &a));
    ASSERT_EQ(1, CVMsg::AttachAllMsgsObserver(&all));
    ASSERT_EQ(1, CVMsg::AttachMsgObserver(20, &b));
    ASSERT_EQ(1, CVMsg::AttachMsgObserver(21, &c));

    EXPECT_EQ(1, CVMsg::SendMessage(20, 1, 2));
    EXPECT_EQ((std::vector<Delivery>{{"a", 20, 1, 2}, {"all", 20, 1, 2}, {"b", 20, 1, 2}}), log);

    log.clear();
    all.consume = 1;
    EXPECT_EQ(1, CVMsg::SendMessage(20, 3, 4));
    EXPECT_EQ((std::vector<Delivery>{{"a", 20, 3, 4}, {"all", 20, 3, 4}}), log);

    log.clear();
    EXPECT_EQ(1, CVMsg::SendMessage(22, 0, 0));  // only the all-messages observer
    EXPECT_EQ((std::vector<Delivery>{{"all", 22, 0, 0}}), log);

    log.clear();
    EXPECT_EQ(1, CVMsg::DetachAllMsgsObserver(&all));
    EXPECT_EQ(0, CVMsg::SendMessage(22, 0, 0));  // nobody listens
    EXPECT_TRUE(log.empty());
}

TEST_F(MsgBusTest, ReservedIdsAreNeverDelivered) {
    std::vector<Delivery> log;
    RecordingObserver all("all", &log);
    ASSERT_EQ(1, CVMsg::AttachAllMsgsObserver(&all));
    for (unsigned int id : {0u, 1u, 15u, 16u}) {
        EXPECT_EQ(0, CVMsg::SendMessage(id, 0, 0)) << id;
        EXPECT_EQ(0, DispatchVMsgToObservers(id, 0, 0)) << id;
        EXPECT_EQ(0, CVMsg::PostMessage(id, 0, 0)) << id;
        EXPECT_EQ(0, CVMsg::AttachMsgObserver(id, &all)) << id;
        EXPECT_EQ(0, CVMsg::DetachMsgObserver(id, &all)) << id;
    }
    Java_com_palex_zu_VMsg_OnUserCommand(nullptr, nullptr, 16, 0, 0);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(1, CVMsg::SendMessage(17, 0, 0));
    // Ids compare unsigned: the largest id is usable.
    EXPECT_EQ(1, CVMsg::SendMessage(0xFFFFFFFFu, 0, 0));
    Java_com_palex_zu_VMsg_OnUserCommand(nullptr, nullptr, -1, 5, -5);
    EXPECT_EQ((std::vector<Delivery>{{"all", 17, 0, 0}, {"all", 0xFFFFFFFFu, 0, 0}, {"all", 0xFFFFFFFFu, 5, -5}}),
              log);
}

TEST_F(MsgBusTest, RegistrationRules) {
    std::vector<Delivery> log;
    RecordingObserver o("o", &log), p("p", &log);
    EXPECT_EQ(0, CVMsg::AttachMsgObserver(30, nullptr));
    EXPECT_EQ(0, CVMsg::AttachAllMsgsObserver(nullptr));
    EXPECT_EQ(0, CVMsg::DetachAllMsgsObserver(nullptr));

    EXPECT_EQ(1, CVMsg::AttachMsgObserver(30, &o));
    EXPECT_EQ(0, CVMsg::AttachMsgObserver(30, &o));
    EXPECT_EQ(1, CVMsg::AttachMsgObserver(30, &p));
    EXPECT_EQ(1, CVMsg::AttachMsgObserver(31, &o));
    EXPECT_EQ(1, CVMsg::AttachMsgObserver(32, &o));

    // All-messages registration replaces every pair of o by one at the end.
    EXPECT_EQ(1, CVMsg::AttachAllMsgsObserver(&o));
    EXPECT_EQ((std::vector<std::pair<_palex_zu::CVMsgObserver*, unsigned int>>{{&p, 30}, {&o, 16}}), Table());
    EXPECT_EQ(0, CVMsg::AttachMsgObserver(30, &o));
    EXPECT_EQ(0, CVMsg::AttachMsgObserver(99, &o));
    // A per-id detach leaves the all-messages pair alone.
    EXPECT_EQ(0, CVMsg::DetachMsgObserver(30, &o));
    EXPECT_EQ(2u, Table().size());

    EXPECT_EQ(1, CVMsg::DetachMsgObserver(30, &p));
    EXPECT_EQ(0, CVMsg::DetachMsgObserver(30, &p));
    EXPECT_EQ(1, CVMsg::RemoveAllMsgObserver());
    EXPECT_TRUE(Table().empty());
    EXPECT_EQ(0, _palex_zu::VMsg_Record()->m_arrObservers.m_nCapacity);
}

TEST_F(MsgBusTest, DetachAllKeepsTheOthersInOrder) {
    std::vector<Delivery> log;
    RecordingObserver o("o", &log), p("p", &log), q("q", &log);
    CVMsg::AttachMsgObserver(40, &o);
    CVMsg::AttachMsgObserver(40, &p);
    CVMsg::AttachMsgObserver(41, &o);
    CVMsg::AttachMsgObserver(41, &q);
    CVMsg::AttachMsgObserver(42, &o);
    EXPECT_EQ(1, CVMsg::DetachAllMsgsObserver(&o));
    EXPECT_EQ((std::vector<std::pair<_palex_zu::CVMsgObserver*, unsigned int>>{{&p, 40}, {&q, 41}}), Table());
    EXPECT_EQ(0, CVMsg::DetachAllMsgsObserver(&o));
}

TEST_F(MsgBusTest, ParametersKeepTheirBits) {
    std::vector<Delivery> log;
    RecordingObserver o("o", &log);
    CVMsg::AttachMsgObserver(50, &o);
    CVMsg::SendMessage(50, 0x80000001u, static_cast<int>(0x80000000u));
    CVMsg::SendMessage(50, 0xFFFFFFFFu, -1);
    EXPECT_EQ((std::vector<Delivery>{{"o", 50, 0x80000001u, INT32_MIN}, {"o", 50, 0xFFFFFFFFu, -1}}), log);
}

// Changes an Update makes to the table while a delivery walks it.
TEST_F(MsgBusTest, DeliveryFollowsChangesMadeByUpdate) {
    std::vector<Delivery> log;
    RecordingObserver a("a", &log), b("b", &log), c("c", &log), d("d", &log), late("late", &log);
    auto attachAll = [&] {
        CVMsg::RemoveAllMsgObserver();
        for (RecordingObserver* o : {&a, &b, &c, &d}) {
            o->action = nullptr;
            CVMsg::AttachMsgObserver(60, o);
        }
        log.clear();
    };
    auto whoGot = [&] {
        std::string s;
        for (const Delivery& x : log) s += x.who;
        return s;
    };

    attachAll();  // b detaches a later observer: c is not called
    b.action = [&](unsigned int) { CVMsg::DetachMsgObserver(60, &c); };
    EXPECT_EQ(1, CVMsg::SendMessage(60, 0, 0));
    EXPECT_EQ("abd", whoGot());

    attachAll();  // b detaches itself: c, now in b's place, is still called once
    b.action = [&](unsigned int) { CVMsg::DetachMsgObserver(60, &b); };
    CVMsg::SendMessage(60, 0, 0);
    EXPECT_EQ("abcd", whoGot());

    attachAll();  // c detaches an earlier observer: d is not skipped
    c.action = [&](unsigned int) { CVMsg::DetachAllMsgsObserver(&a); };
    CVMsg::SendMessage(60, 0, 0);
    EXPECT_EQ("abcd", whoGot());

    attachAll();  // b empties the table: the walk ends
    b.action = [&](unsigned int) { CVMsg::RemoveAllMsgObserver(); };
    EXPECT_EQ(1, CVMsg::SendMessage(60, 0, 0));
    EXPECT_EQ("ab", whoGot());

    attachAll();  // an observer attached meanwhile waits for the next message
    a.action = [&](unsigned int) { CVMsg::AttachMsgObserver(60, &late); };
    CVMsg::SendMessage(60, 0, 0);
    EXPECT_EQ("abcd", whoGot());
    a.action = nullptr;
    log.clear();
    CVMsg::SendMessage(60, 0, 0);
    EXPECT_EQ("abcdlate", whoGot());

    attachAll();  // a nested delivery detaches: both walks skip the removed observer
    a.action = [&](unsigned int id) {
        if (id == 60) CVMsg::SendMessage(61, 0, 0);
    };
    CVMsg::AttachMsgObserver(61, &b);
    b.action = [&](unsigned int id) {
        if (id == 61) CVMsg::DetachMsgObserver(60, &c);
    };
    CVMsg::SendMessage(60, 0, 0);
    EXPECT_EQ("abbd", whoGot());
    EXPECT_EQ(61u, log[1].id);
}

TEST_F(MsgBusTest, OtherThreadsWaitForADeliveryToEnd) {
    std::vector<Delivery> log;
    std::mutex logLock;
    RecordingObserver a("a", &log, &logLock);
    std::atomic<bool> inside{false}, release{false};
    a.action = [&](unsigned int id) {
        if (id != 70) return;
        inside = true;
        while (!release) std::this_thread::yield();
    };
    CVMsg::AttachMsgObserver(70, &a);
    std::thread sender([] { CVMsg::SendMessage(70, 0, 0); });
    ASSERT_TRUE(vostest::WaitFor([&] { return inside.load(); }));
    std::atomic<bool> attached{false};
    RecordingObserver b("b", &log, &logLock);
    std::thread attacher([&] {
        CVMsg::AttachMsgObserver(70, &b);
        attached = true;
    });
    // The table stays as it was while the walk runs.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(attached.load());
    release = true;
    sender.join();
    attacher.join();
    EXPECT_TRUE(attached.load());
    EXPECT_EQ(1u, log.size());
}

TEST_F(MsgBusTest, BusComesUpOnceAndGoesDownAtTheFirstStop) {
    EXPECT_EQ(1, CVMsg::GlobalInit());  // already up: no reference count
    void* record = CVMsg::m_hMsg;
    EXPECT_EQ(1, CVMsg::GlobalInit());
    EXPECT_EQ(record, CVMsg::m_hMsg);
    CVMsg::GlobalUnInit();
    EXPECT_EQ(nullptr, CVMsg::m_hMsg);
    std::vector<Delivery> log;
    RecordingObserver o("o", &log);
    EXPECT_EQ(0, CVMsg::AttachMsgObserver(80, &o));
    EXPECT_EQ(0, CVMsg::SendMessage(80, 0, 0));
    EXPECT_EQ(0, CVMsg::PostMessage(80, 0, 0));
    EXPECT_EQ(0, CVMsg::RemoveAllMsgObserver());
    CVMsg::GlobalUnInit();  // down already: nothing happens
    ASSERT_EQ(1, CVMsg::GlobalInit());  // for the fixture's stop
}
