// The compass without a Java VM: nothing starts, polling fails, and readings
// are kept only while a handle record exists.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/TestSupport.h"
#include "vos/vos.h"

using namespace _palex_zu;

TEST(CompassNoVm, NothingStartsAndPollingFails) {
    EXPECT_EQ(0, CVCompass::Init());
    EXPECT_EQ(nullptr, CVCompass::m_hHandle);
    EXPECT_EQ(0, CVCompass::UnInit());
    EXPECT_EQ(0, CVCompass::m_bHaveCompass);

    tagCompassInfo info = {7, 8, 9};
    EXPECT_EQ(0, CVCompass::GetCompassInfo(info));
    EXPECT_EQ(7, info.m_nState);
    EXPECT_EQ(8, info.m_nValue);
    EXPECT_EQ(9, info.m_nTickBits);

    // Readings are dropped while the compass is not running, and a Java report
    // without an environment is dropped too.
    const tagCompassInfo reading = {1, 123, 2};
    CVCompass::SetCompassInfo(reading);
    Java_com_palex_zu_VCompass_updateCompass(nullptr, nullptr, 456);
    EXPECT_EQ(0, CVCompass::m_CompassInfo.m_nValue);
}

namespace {
class RunningCompass : public testing::Test {
protected:
    void SetUp() override {
        memset(&m_record, 0, sizeof(m_record));
        CVCompass::m_hHandle = &m_record;
    }
    void TearDown() override {
        CVCompass::m_hHandle = nullptr;
        CVCompass::m_CompassInfo = tagCompassInfo{0, 0, 0};
    }
    _VJavaHandle_t m_record;
};
}  // namespace

TEST_F(RunningCompass, ReadingsAreKeptWhileRunning) {
    const tagCompassInfo reading = {1, -90, 3};
    CVCompass::SetCompassInfo(reading);
    tagCompassInfo out = {0, 0, 0};
    EXPECT_EQ(1, CVCompass::GetCompassInfo(out));
    EXPECT_EQ(1, out.m_nState);
    EXPECT_EQ(-90, out.m_nValue);
    EXPECT_EQ(3, out.m_nTickBits);
}

TEST_F(RunningCompass, AReadingIsNeverHalfOfOneAndHalfOfAnother) {
    std::atomic<bool> stop(false);
    std::atomic<long> written(0);
    std::thread writer([&] {
        for (int32_t k = 1; !stop.load(); ++k) {
            const tagCompassInfo reading = {k, -k, k ^ 0x5A5A};
            CVCompass::SetCompassInfo(reading);
            written.fetch_add(1);
        }
    });
    ASSERT_TRUE(vostest::WaitFor([&] { return written.load() > 0; }));
    int torn = 0;
    long reads = 0;
    const long target = written.load() + 200000;
    for (; written.load() < target && torn == 0; ++reads) {
        tagCompassInfo out = {0, 0, 0};
        ASSERT_EQ(1, CVCompass::GetCompassInfo(out));
        if (out.m_nValue != -out.m_nState || out.m_nTickBits != (out.m_nState ^ 0x5A5A)) ++torn;
    }
    stop.store(true);
    writer.join();
    EXPECT_EQ(0, torn) << "after " << reads << " reads and " << written.load() << " readings";
}

TEST_F(RunningCompass, PollingWaitsForAReadingBeingWritten) {
    std::atomic<bool> done(false);
    CVCompass::m_infoMutex.Lock();
    std::thread reader([&] {
        tagCompassInfo out = {0, 0, 0};
        CVCompass::GetCompassInfo(out);
        done.store(true);
    });
    EXPECT_FALSE(vostest::WaitFor([&] { return done.load(); }, std::chrono::milliseconds(200)))
        << "the poll did not wait for the reading lock";
    CVCompass::m_infoMutex.Unlock();
    EXPECT_TRUE(vostest::WaitFor([&] { return done.load(); }));
    reader.join();
}
