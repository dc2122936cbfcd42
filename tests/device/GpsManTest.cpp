// The GPS manager's own logic: change detection, pause, observers, the fix
// record built from a Java report, and consistent copies of the last fix.
// The Java position source is replaced by a stand-in record so that the
// manager counts as running without a Java VM.
#include <gtest/gtest.h>

#include <math.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/TestSupport.h"
#include "vos/vos.h"

using namespace _palex_zu;

namespace {

class RecordingObserver : public CVGpsObserver {
public:
    RecordingObserver(std::vector<std::string>* log, const char* name) : m_log(log), m_name(name) {}
    void OnGpsUpdate(CVGpsDetailInfo* info) override {
        m_last = *info;
        ++m_calls;
        if (m_log) m_log->push_back(m_name);
    }
    std::vector<std::string>* m_log;
    std::string m_name;
    CVGpsDetailInfo m_last;
    int m_calls = 0;
};

CVGpsDetailInfo Fix(float v1) {
    CVGpsDetailInfo fix;
    fix.m_nState = 1;
    fix.m_fValue1 = v1;
    return fix;
}

// Makes the manager look started: an observer list and a handle record
// without Java objects. Restores the unset state afterwards.
class RunningGps : public testing::Test {
protected:
    void SetUp() override {
        memset(&m_record, 0, sizeof(m_record));
        CVGpsMan::m_pObservers = VNew<CVArray<CVGpsObserver*, CVGpsObserver*&>>(1, __FILE__, __LINE__);
        ASSERT_NE(nullptr, CVGpsMan::m_pObservers);
        CVGpsMan::m_hHandle = &m_record;
        CVGpsMan::m_IsPause = 0;
        CVGpsMan::m_GpsLastDetailInfo = CVGpsDetailInfo();
        CVGpsMan::m_GpsLastDetailInfo.m_nState = 1;
    }
    void TearDown() override {
        VDelete(CVGpsMan::m_pObservers);
        CVGpsMan::m_pObservers = nullptr;
        CVGpsMan::m_hHandle = nullptr;
        CVGpsMan::m_IsPause = 0;
    }
    _VJavaHandle_t m_record;
};

}  // namespace

TEST(GpsNoVm, NothingStartsAndNothingIsAccepted) {
    EXPECT_EQ(0, CVGpsMan::GetGPSState());
    EXPECT_EQ(0, CVGpsMan::Initialize());
    EXPECT_EQ(nullptr, CVGpsMan::m_hHandle);
    EXPECT_EQ(nullptr, CVGpsMan::m_pObservers);
    EXPECT_EQ(0, CVGpsMan::UnInitialize());
    EXPECT_EQ(0, CVGpsMan::GetGPSState());

    RecordingObserver observer(nullptr, "o");
    EXPECT_EQ(0, CVGpsMan::AttachGpsObserver(&observer));
    EXPECT_EQ(0, CVGpsMan::DetachGpsObserver(&observer));

    // While unset, fixes are ignored: the initial fix stays.
    const CVGpsDetailInfo before = CVGpsMan::GetLastLocation();
    Java_com_palex_zu_VGps_updateGps(nullptr, nullptr, 1.0, 2.0, 3.0f, 4.0f, 5, 6);
    const CVGpsDetailInfo after = CVGpsMan::GetLastLocation();
    EXPECT_EQ(0, memcmp(&before, &after, sizeof(before)));
}

TEST(GpsNoVm, InitialFixHasStateOneAndZeroes) {
    const CVGpsDetailInfo fix = CVGpsMan::GetLastLocation();
    CVGpsDetailInfo expected;
    expected.m_nState = 1;
    EXPECT_EQ(0, memcmp(&expected, &fix, sizeof(fix)));
}

TEST(GpsNoVm, PauseReturnsThePreviousValue) {
    EXPECT_EQ(0, CVGpsMan::Pause(1));
    EXPECT_EQ(1, CVGpsMan::Pause(5));
    EXPECT_EQ(5, CVGpsMan::Pause(0));
    EXPECT_EQ(0, CVGpsMan::Pause(0));
}

TEST_F(RunningGps, UpdateBuildsTheFixInRecordOrder) {
    RecordingObserver observer(nullptr, "o");
    ASSERT_EQ(1, CVGpsMan::AttachGpsObserver(&observer));
    Java_com_palex_zu_VGps_updateGps(nullptr, nullptr, 39.9042, 116.4074, 3.5f, 4.25f, -7, 0x12345);
    ASSERT_EQ(1, observer.m_calls);
    const CVGpsDetailInfo fix = CVGpsMan::GetLastLocation();
    EXPECT_EQ(1, fix.m_nState);
    EXPECT_EQ(static_cast<float>(39.9042), fix.m_fValue1);
    EXPECT_EQ(static_cast<float>(116.4074), fix.m_fValue2);
    EXPECT_EQ(3.5f, fix.m_fValue3);
    EXPECT_EQ(4.25f, fix.m_fValue4);
    EXPECT_EQ(-7, fix.m_nValue5);
    EXPECT_EQ(0x2345, fix.m_sValue6);
    EXPECT_EQ(0u, fix.m_nReserved1);
    EXPECT_EQ(0, fix.m_sReserved2);
    EXPECT_EQ(0u, fix.m_nExtra);
    EXPECT_EQ(1, fix.m_time == tagVTime());
    // The fourth value is stored ahead of the third.
    const float* floats = &fix.m_fValue1;
    EXPECT_EQ(4.25f, floats[2]);
    EXPECT_EQ(3.5f, floats[3]);
    EXPECT_EQ(0, memcmp(&fix, &observer.m_last, sizeof(fix)));
}

TEST_F(RunningGps, EveryFieldCountsAsAChangeButTheReservedOnes) {
    RecordingObserver observer(nullptr, "o");
    ASSERT_EQ(1, CVGpsMan::AttachGpsObserver(&observer));
    CVGpsDetailInfo base = Fix(1.0f);
    CVGpsMan::SetDetailInfo(base);
    ASSERT_EQ(1, observer.m_calls);
    CVGpsMan::SetDetailInfo(base);
    EXPECT_EQ(1, observer.m_calls) << "an identical fix notified";

    const struct {
        const char* field;
        void (*change)(CVGpsDetailInfo&);
        bool notifies;
    } cases[] = {
        {"m_nState", [](CVGpsDetailInfo& f) { f.m_nState = 2; }, true},
        {"m_fValue1", [](CVGpsDetailInfo& f) { f.m_fValue1 += 1; }, true},
        {"m_fValue2", [](CVGpsDetailInfo& f) { f.m_fValue2 += 1; }, true},
        {"m_fValue3", [](CVGpsDetailInfo& f) { f.m_fValue3 += 1; }, true},
        {"m_fValue4", [](CVGpsDetailInfo& f) { f.m_fValue4 += 1; }, true},
        {"m_nValue5", [](CVGpsDetailInfo& f) { f.m_nValue5 += 1; }, true},
        {"m_sValue6", [](CVGpsDetailInfo& f) { f.m_sValue6 += 1; }, true},
        {"m_nExtra", [](CVGpsDetailInfo& f) { f.m_nExtra += 1; }, true},
        {"m_time", [](CVGpsDetailInfo& f) { f.m_time.nMinute = f.m_time.nMinute + 1; }, true},
        {"m_nReserved1", [](CVGpsDetailInfo& f) { f.m_nReserved1 += 1; }, false},
        {"m_sReserved2", [](CVGpsDetailInfo& f) { f.m_sReserved2 += 1; }, false},
    };
    CVGpsDetailInfo fix = base;
    for (const auto& c : cases) {
        const int before = observer.m_calls;
        c.change(fix);
        CVGpsMan::SetDetailInfo(fix);
        EXPECT_EQ(before + (c.notifies ? 1 : 0), observer.m_calls) << c.field;
        CVGpsMan::SetDetailInfo(fix);
        EXPECT_EQ(before + (c.notifies ? 1 : 0), observer.m_calls) << c.field << " repeated";
    }
    // The fifth value is taken over; the reserved fields are not.
    const CVGpsDetailInfo last = CVGpsMan::GetLastLocation();
    EXPECT_EQ(fix.m_nValue5, last.m_nValue5);
    EXPECT_EQ(0u, last.m_nReserved1);
    EXPECT_EQ(0, last.m_sReserved2);
}

TEST_F(RunningGps, ANaNAlwaysCountsAsChanged) {
    RecordingObserver observer(nullptr, "o");
    ASSERT_EQ(1, CVGpsMan::AttachGpsObserver(&observer));
    CVGpsDetailInfo fix = Fix(1.0f);
    fix.m_fValue3 = NAN;
    CVGpsMan::SetDetailInfo(fix);
    CVGpsMan::SetDetailInfo(fix);
    CVGpsMan::SetDetailInfo(fix);
    EXPECT_EQ(3, observer.m_calls);
    EXPECT_TRUE(isnan(CVGpsMan::GetLastLocation().m_fValue3));
}

TEST_F(RunningGps, PausedFixesAreIgnoredUntilResumed) {
    RecordingObserver observer(nullptr, "o");
    ASSERT_EQ(1, CVGpsMan::AttachGpsObserver(&observer));
    EXPECT_EQ(0, CVGpsMan::Pause(1));
    CVGpsMan::SetDetailInfo(Fix(5.0f));
    EXPECT_EQ(0, observer.m_calls);
    EXPECT_EQ(0.0f, CVGpsMan::GetLastLocation().m_fValue1);
    EXPECT_EQ(1, CVGpsMan::Pause(0));
    CVGpsMan::SetDetailInfo(Fix(5.0f));
    EXPECT_EQ(1, observer.m_calls);
    EXPECT_EQ(5.0f, CVGpsMan::GetLastLocation().m_fValue1);
}

TEST_F(RunningGps, ObserversRunInAttachOrderAndDetachKeepsTheOrder) {
    std::vector<std::string> log;
    RecordingObserver a(&log, "a"), b(&log, "b"), c(&log, "c"), never(&log, "never");
    EXPECT_EQ(0, CVGpsMan::AttachGpsObserver(nullptr));
    EXPECT_EQ(1, CVGpsMan::AttachGpsObserver(&a));
    EXPECT_EQ(1, CVGpsMan::AttachGpsObserver(&b));
    EXPECT_EQ(1, CVGpsMan::AttachGpsObserver(&c));
    EXPECT_EQ(0, CVGpsMan::AttachGpsObserver(&b)) << "attached twice";
    CVGpsMan::SetDetailInfo(Fix(1.0f));
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), log);

    EXPECT_EQ(0, CVGpsMan::DetachGpsObserver(&never));
    EXPECT_EQ(1, CVGpsMan::DetachGpsObserver(&a));
    EXPECT_EQ(0, CVGpsMan::DetachGpsObserver(&a));
    log.clear();
    CVGpsMan::SetDetailInfo(Fix(2.0f));
    EXPECT_EQ((std::vector<std::string>{"b", "c"}), log);
    EXPECT_EQ(1, CVGpsMan::AttachGpsObserver(&a));
    log.clear();
    CVGpsMan::SetDetailInfo(Fix(3.0f));
    EXPECT_EQ((std::vector<std::string>{"b", "c", "a"}), log);
}

TEST_F(RunningGps, ObserversThatDetachDuringAFixLeaveEveryOtherCalledOnce) {
    // Observer `who` detaches `whom` from inside its OnGpsUpdate; every
    // observer still attached is called exactly once, a detached one no more.
    struct Detacher : RecordingObserver {
        Detacher(std::vector<std::string>* log, const char* name) : RecordingObserver(log, name) {}
        void OnGpsUpdate(CVGpsDetailInfo* info) override {
            RecordingObserver::OnGpsUpdate(info);
            if (m_victim != nullptr) CVGpsMan::DetachGpsObserver(m_victim);
        }
        CVGpsObserver* m_victim = nullptr;
    };
    const struct {
        int who;
        int whom;
        std::vector<std::string> calls;
    } cases[] = {
        {0, 0, {"a", "b", "c"}},  // itself
        {0, 1, {"a", "c"}},       // a later one
        {1, 0, {"a", "b", "c"}},  // an earlier one
        {2, 2, {"a", "b", "c"}},  // the last, itself
    };
    float value = 10.0f;
    for (const auto& c : cases) {
        std::vector<std::string> log;
        Detacher a(&log, "a"), b(&log, "b"), cc(&log, "c");
        Detacher* all[] = {&a, &b, &cc};
        all[c.who]->m_victim = all[c.whom];
        for (Detacher* o : all) ASSERT_EQ(1, CVGpsMan::AttachGpsObserver(o));
        CVGpsMan::SetDetailInfo(Fix(value += 1.0f));
        EXPECT_EQ(c.calls, log) << c.who << " detaches " << c.whom;
        for (Detacher* o : all) CVGpsMan::DetachGpsObserver(o);
    }
}

TEST_F(RunningGps, ObserversRunWithoutTheFixLockHeld) {
    // Another thread must be able to take the fix lock while an observer runs:
    // the fix lock and the observer lock are never held together.
    struct LockProbe : CVGpsObserver {
        void OnGpsUpdate(CVGpsDetailInfo*) override {
            std::thread probe([this] {
                m_fixLockFree = CVGpsMan::m_pMutex.Lock(0);
                if (m_fixLockFree) CVGpsMan::m_pMutex.Unlock();
            });
            probe.join();
        }
        int m_fixLockFree = -1;
    } probe;
    ASSERT_EQ(1, CVGpsMan::AttachGpsObserver(&probe));
    CVGpsMan::SetDetailInfo(Fix(9.0f));
    EXPECT_EQ(1, probe.m_fixLockFree);
}

TEST_F(RunningGps, ACopyIsNeverHalfOfOneFixAndHalfOfAnother) {
    std::atomic<bool> stop(false);
    std::atomic<long> written(0);
    std::thread writer([&] {
        for (int k = 1; !stop.load(); k = k % 20000 + 1) {
            const float f = static_cast<float>(k);
            Java_com_palex_zu_VGps_updateGps(nullptr, nullptr, f, f, f, f, k, k);
            written.fetch_add(1);
        }
    });
    int torn = 0;
    long reads = 0;
    ASSERT_TRUE(vostest::WaitFor([&] { return written.load() > 0; }));
    // Read for as long as the writer needs for many fixes, so that reads and
    // writes truly interleave whatever the machine's speed.
    const long target = written.load() + 200000;
    while (written.load() < target && torn == 0) {
        const CVGpsDetailInfo fix = CVGpsMan::GetLastLocation();
        const float k = static_cast<float>(fix.m_nValue5);
        if (fix.m_fValue1 != k || fix.m_fValue2 != k || fix.m_fValue3 != k || fix.m_fValue4 != k ||
            fix.m_sValue6 != fix.m_nValue5) {
            ++torn;
        }
        ++reads;
    }
    stop.store(true);
    writer.join();
    EXPECT_EQ(0, torn) << "after " << reads << " reads and " << written.load() << " fixes";
}

TEST_F(RunningGps, GetLastLocationWaitsForAFixBeingWritten) {
    std::atomic<bool> done(false);
    CVGpsMan::m_pMutex.Lock();
    std::thread reader([&] {
        CVGpsMan::GetLastLocation();
        done.store(true);
    });
    EXPECT_FALSE(vostest::WaitFor([&] { return done.load(); }, std::chrono::milliseconds(200)))
        << "the copy did not wait for the fix lock";
    CVGpsMan::m_pMutex.Unlock();
    EXPECT_TRUE(vostest::WaitFor([&] { return done.load(); }));
    reader.join();
}

// An observer reads the fix it was handed while another reporting thread
// writes the next one: what it was handed must not change under it.
TEST_F(RunningGps, AnObserverKeepsItsFixWhileTheNextIsWritten) {
    struct Reader : CVGpsObserver {
        void OnGpsUpdate(CVGpsDetailInfo* info) override {
            if (m_calls++ > 0) return;
            const float before = info->m_fValue1;
            // The second report writes the last fix at once and then waits
            // for this walk to end before notifying.
            m_writer = std::thread([] { Java_com_palex_zu_VGps_updateGps(nullptr, nullptr, 2.0, 0, 0, 0, 0, 0); });
            m_written = vostest::WaitFor([] { return CVGpsMan::GetLastLocation().m_fValue1 == 2.0f; });
            m_before = before;
            m_after = info->m_fValue1;
        }
        int m_calls = 0;
        bool m_written = false;
        float m_before = 0, m_after = 0;
        std::thread m_writer;
    } reader;
    ASSERT_EQ(1, CVGpsMan::AttachGpsObserver(&reader));
    CVGpsMan::SetDetailInfo(Fix(1.0f));
    reader.m_writer.join();
    ASSERT_TRUE(reader.m_written) << "the second fix was never written";
    EXPECT_EQ(1.0f, reader.m_before);
    EXPECT_EQ(1.0f, reader.m_after) << "the observer read the shared record, not a copy";
    EXPECT_EQ(2, reader.m_calls) << "the second fix is notified after the first walk";
}
