#include <limits.h>
#include <string.h>
#include <sys/time.h>
#include <time.h>

#include "gtest/gtest.h"
#include "support/TestSupport.h"
#include "vos/vos.h"
#include "vsi/android/VTimeCalc.h"

using namespace _palex_zu;

namespace {

// The second 32-bit word of a record, where the bit-fields live.
uint32_t FieldWord(const tagVTime& t) {
    uint32_t word;
    memcpy(&word, reinterpret_cast<const char*>(&t) + 4, 4);
    return word;
}

long LocalSeconds(int year, int month, int day, int hour, int minute, int second) {
    struct tm tm;
    memset(&tm, 0, sizeof(tm));
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return static_cast<long>(mktime(&tm));
}

void ExpectFields(const tagVTime& t, int year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                  unsigned second) {
    EXPECT_EQ(year, t.nYear);
    EXPECT_EQ(month, t.nMonth);
    EXPECT_EQ(day, t.nDay);
    EXPECT_EQ(hour, t.nHour);
    EXPECT_EQ(minute, t.nMinute);
    EXPECT_EQ(second, t.nSecond);
}

}  // namespace

TEST(VTime, FieldsSitAtTheirBitsOfTheSecondWord) {
    EXPECT_EQ(8u, sizeof(tagVTime));
    const struct {
        const char* field;
        void (*set)(tagVTime&);
        uint32_t word;
    } cases[] = {
        {"month", [](tagVTime& t) { t.nMonth = 0xF; }, 0xFu},
        {"day", [](tagVTime& t) { t.nDay = 0x1F; }, 0x1Fu << 4},
        {"hour", [](tagVTime& t) { t.nHour = 0x1F; }, 0x1Fu << 9},
        {"minute", [](tagVTime& t) { t.nMinute = 0x3F; }, 0x3Fu << 14},
        {"second", [](tagVTime& t) { t.nSecond = 0x3F; }, 0x3Fu << 20},
        {"reserved", [](tagVTime& t) { t.nReserved = 0x3F; }, 0x3Fu << 26},
    };
    for (const auto& c : cases) {
        tagVTime t;
        c.set(t);
        EXPECT_EQ(c.word, FieldWord(t)) << c.field;
        EXPECT_EQ(0, t.nYear) << c.field;
    }
    tagVTime t;
    t.nYear = -1;
    int32_t year;
    memcpy(&year, &t, 4);
    EXPECT_EQ(-1, year) << "the year is the first word, signed";
}

TEST(VTime, ConstructsLocalCalendarTime) {
    const long secs = LocalSeconds(2013, 5, 7, 9, 4, 3);
    tagVTime t(secs);
    ExpectFields(t, 2013, 5, 7, 9, 4, 3);
    EXPECT_EQ(0u, t.nReserved);

    tagVTime byFunction;
    byFunction.nReserved = 3;
    EXPECT_EQ(1, VTime_GetTimeByUTCSecs(static_cast<unsigned long>(secs), &byFunction));
    ExpectFields(byFunction, 2013, 5, 7, 9, 4, 3);
    EXPECT_EQ(3u, byFunction.nReserved) << "the functions keep nReserved";

    const long endOfYear = LocalSeconds(1999, 12, 31, 23, 59, 59);
    ExpectFields(tagVTime(endOfYear), 1999, 12, 31, 23, 59, 59);
}

TEST(VTime, UnconvertibleTimeLeavesAZeroRecord) {
    if (sizeof(long) < 8) GTEST_SKIP() << "every 32-bit time converts";
    const long huge = LONG_MAX;
    tagVTime t(huge);
    EXPECT_EQ(0, t.nYear);
    EXPECT_EQ(0u, FieldWord(t));
    tagVTime kept(LocalSeconds(2013, 5, 7, 9, 4, 3));
    EXPECT_EQ(0, VTime_GetTimeByUTCSecs(static_cast<unsigned long>(huge), &kept));
    ExpectFields(kept, 2013, 5, 7, 9, 4, 3);
}

TEST(VTime, EqualityComparesEveryFieldIncludingReserved) {
    const tagVTime base(LocalSeconds(2013, 5, 7, 9, 4, 3));
    EXPECT_EQ(1, base == base);
    const struct {
        const char* field;
        void (*change)(tagVTime&);
    } cases[] = {
        {"year", [](tagVTime& t) { t.nYear += 1; }},   {"month", [](tagVTime& t) { t.nMonth = 6; }},
        {"day", [](tagVTime& t) { t.nDay = 8; }},      {"hour", [](tagVTime& t) { t.nHour = 10; }},
        {"minute", [](tagVTime& t) { t.nMinute = 5; }}, {"second", [](tagVTime& t) { t.nSecond = 4; }},
        {"reserved", [](tagVTime& t) { t.nReserved = 1; }},
    };
    for (const auto& c : cases) {
        tagVTime other = base;
        c.change(other);
        EXPECT_EQ(0, base == other) << c.field;
        EXPECT_EQ(0, other == base) << c.field;
    }
}

TEST(VTime, CurrentTimeMatchesClockAndKeepsReserved) {
    tagVTime now;
    now.nReserved = 5;
    const time_t before = time(nullptr);
    ASSERT_EQ(1, VTime_GetCurrentTime(&now));
    const time_t after = time(nullptr);
    EXPECT_EQ(5u, now.nReserved);
    now.nReserved = 0;
    // The clock may tick between the readings: the result is one of them.
    bool matched = false;
    for (time_t s = before; s <= after; ++s) matched = matched || (tagVTime(static_cast<long>(s)) == now);
    EXPECT_TRUE(matched);
}

TEST(VTime, NullOutputsAreRefused) {
    EXPECT_EQ(0, VTime_GetCurrentTime(nullptr));
    EXPECT_EQ(0, VTime_GetTimeByUTCSecs(0, nullptr));
    EXPECT_EQ(0, V_GetTimeMilliSecs(nullptr));
}

TEST(VTime, SecondsAndStampsFollowTheWallClock) {
    // Bracketed by gettimeofday itself: time() may lag it by a clock tick.
    for (int i = 0; i < 1000; ++i) {
        struct timeval before, after;
        gettimeofday(&before, nullptr);
        tagVTimeStamp stamp;
        ASSERT_EQ(1, V_GetTimeMilliSecs(&stamp));
        const int secs = V_GetTimeSecs();
        gettimeofday(&after, nullptr);
        ASSERT_LT(stamp.nMilliSec, 1000u);
        const uint64_t lo = static_cast<uint64_t>(before.tv_sec) * 1000 + before.tv_usec / 1000;
        const uint64_t hi = static_cast<uint64_t>(after.tv_sec) * 1000 + after.tv_usec / 1000;
        const uint64_t ms = static_cast<uint64_t>(stamp.nSec) * 1000 + stamp.nMilliSec;
        ASSERT_LE(lo, ms);
        ASSERT_GE(hi, ms);
        ASSERT_LE(static_cast<long>(stamp.nSec), static_cast<long>(secs));
        ASSERT_GE(static_cast<long>(after.tv_sec), static_cast<long>(secs));
    }
}

TEST(VTime, TickCountIsMonotonicMillisecondsCutTo32Bits) {
    const struct {
        long long sec;
        long long usec;
        uint32_t tick;
    } cases[] = {
        {0, 0, 0u},
        {1, 999999, 1999u},
        {4294967, 295000, 4294967295u},  // the last value before the wrap
        {4294967, 296000, 0u},           // wrapped
        {4294967, 297999, 1u},
        {1370000000, 123456, static_cast<uint32_t>(1370000000ull * 1000 + 123)},
    };
    for (const auto& c : cases) EXPECT_EQ(c.tick, VTickOf(c.sec, c.usec)) << c.sec << "s " << c.usec << "us";

    struct timespec before, after;
    clock_gettime(CLOCK_MONOTONIC, &before);
    const uint32_t tick = V_GetTickCount();
    clock_gettime(CLOCK_MONOTONIC, &after);
    const uint32_t lo = VTickOf(before.tv_sec, before.tv_nsec / 1000);
    const uint32_t hi = VTickOf(after.tv_sec, after.tv_nsec / 1000);
    // Compared across the wrap, as callers of the tick count must.
    EXPECT_LE(tick - lo, hi - lo);
}

TEST(VTime, TicksSinceCountsTheDistanceAcrossTheWrap) {
    const struct {
        uint32_t then;
        uint32_t now;
        uint32_t ms;
    } cases[] = {
        {100u, 350u, 250u},
        {4294967295u, 0u, 1u},  // one millisecond: 4294967295 to 0
        {4294967290u, 10u, 16u},
        {1u, 0u, 4294967295u},  // the longest distance there is
    };
    for (const auto& c : cases) EXPECT_EQ(c.ms, VTicksSince(c.then, c.now)) << c.then << " to " << c.now;
}
