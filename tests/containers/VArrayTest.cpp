#include <gtest/gtest.h>

#include <vector>

#include "support/TestSupport.h"
#include "vos/vos.h"

using namespace _palex_zu;

namespace {

// A relocatable class element that counts its constructions and destructions;
// its constructor leaves m_nValue alone, so the bytes the array zeroed show.
struct Tracked {
    static int s_nLive;
    static int s_nCtors;
    static int s_nDtors;
    int m_nValue;
    Tracked() {
        ++s_nLive;
        ++s_nCtors;
    }
    ~Tracked() {
        --s_nLive;
        ++s_nDtors;
    }
    Tracked& operator=(const Tracked& o) {
        m_nValue = o.m_nValue;
        return *this;
    }
    static void Reset() { s_nLive = s_nCtors = s_nDtors = 0; }
};
int Tracked::s_nLive = 0;
int Tracked::s_nCtors = 0;
int Tracked::s_nDtors = 0;

// Capacities at which an array that grows by Add reallocated.
std::vector<int> GrowthPoints(CVArray<int, int>& arr, int adds) {
    std::vector<int> points;
    for (int i = 0; i < adds; ++i) {
        const int before = arr.m_nCapacity;
        arr.Add(i);
        if (arr.m_nCapacity != before) points.push_back(arr.m_nCapacity);
    }
    return points;
}

}  // namespace

TEST(CVArray, NewArrayHasNothing) {
    CVArray<int, int> arr;
    EXPECT_EQ(arr.GetSize(), 0);
    EXPECT_EQ(arr.GetData(), nullptr);
    EXPECT_EQ(arr.m_nCapacity, 0);
    EXPECT_EQ(arr.m_nGrowStep, 0);
}

TEST(CVArray, DerivedStepGrowsByFourWhileSmall) {
    CVArray<int, int> arr;
    EXPECT_EQ(GrowthPoints(arr, 33), (std::vector<int>{1, 5, 9, 13, 17, 21, 25, 29, 33}));
    EXPECT_EQ(arr.m_nCapacity, 33);
    arr.Add(33);
    EXPECT_EQ(arr.m_nCapacity, 37);
    for (int i = 0; i < 34; ++i) ASSERT_EQ(arr[i], i) << "element " << i;
}

TEST(CVArray, DerivedStepIsAnEighthThenCappedAt1024) {
    // Sizes below 40 grow by 4; at 80 the step is 10; from 8192 on it is 1024.
    const struct {
        int size;
        int expectedCapacity;
    } cases[] = {{39, 43}, {80, 90}, {8191, 8191 + 1023}, {8192, 8192 + 1024}, {20000, 21024}};
    for (const auto& c : cases) {
        CVArray<int, int> arr;
        arr.SetSize(c.size);
        ASSERT_EQ(arr.m_nCapacity, c.size);
        arr.Add(7);
        EXPECT_EQ(arr.m_nCapacity, c.expectedCapacity) << "full array of " << c.size;
        EXPECT_EQ(arr.GetSize(), c.size + 1);
        EXPECT_EQ(arr[c.size], 7);
    }
}

TEST(CVArray, FixedStepAddsExactlyThatOrWhatTheSizeNeeds) {
    CVArray<int, int> arr;
    arr.SetSize(3, 10);
    EXPECT_EQ(arr.m_nCapacity, 3);
    EXPECT_EQ(arr.m_nGrowStep, 10);
    arr.Add(1);
    EXPECT_EQ(arr.m_nCapacity, 13);
    arr.SetSize(40);
    EXPECT_EQ(arr.m_nCapacity, 40);
    arr.SetSize(41);
    EXPECT_EQ(arr.m_nCapacity, 50);
    // -1 keeps the step, any other value replaces it.
    arr.SetSize(41, -1);
    EXPECT_EQ(arr.m_nGrowStep, 10);
    arr.SetSize(41, 0);
    EXPECT_EQ(arr.m_nGrowStep, 0);
}

TEST(CVArray, SetSizeZeroReleasesAndNextAddTakesOneSlot) {
    CVArray<int, int> arr;
    for (int i = 0; i < 20; ++i) arr.Add(i);
    arr.SetSize(0, -1);
    EXPECT_EQ(arr.GetSize(), 0);
    EXPECT_EQ(arr.m_nCapacity, 0);
    EXPECT_EQ(arr.GetData(), nullptr);
    EXPECT_EQ(arr.Add(5), 0);
    EXPECT_EQ(arr.m_nCapacity, 1);
    EXPECT_EQ(arr[0], 5);
}

TEST(CVArray, GrowingWithinCapacityZeroFillsPlainSlots) {
    CVArray<int, int> arr;
    arr.SetSize(8);
    for (int i = 0; i < 8; ++i) arr[i] = 100 + i;
    arr.SetSize(2);
    EXPECT_EQ(arr.m_nCapacity, 8);
    arr.SetSize(6);
    EXPECT_EQ(arr[0], 100);
    EXPECT_EQ(arr[1], 101);
    for (int i = 2; i < 6; ++i) EXPECT_EQ(arr[i], 0) << "slot " << i;
}

TEST(CVArray, SetAtGrowFillsTheGapWithZeros) {
    CVArray<int, int> arr;
    arr.SetAtGrow(5, 42);
    ASSERT_EQ(arr.GetSize(), 6);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(arr[i], 0);
    EXPECT_EQ(arr[5], 42);
    arr.SetAtGrow(2, 9);
    EXPECT_EQ(arr.GetSize(), 6);
    EXPECT_EQ(arr[2], 9);
    // Growth from a full array of 6 follows the same rule: 6 + 4.
    arr.SetAtGrow(6, 1);
    EXPECT_EQ(arr.m_nCapacity, 10);
}

TEST(CVArray, AddGivesTheIndexEqualToTheOldSize) {
    CVArray<unsigned int, unsigned int> arr;
    for (int i = 0; i < 100; ++i) ASSERT_EQ(arr.Add(static_cast<unsigned int>(i * 3)), i);
    EXPECT_EQ(arr.GetSize(), 100);
}

TEST(CVArray, RemoveAtShiftsTheRestAndKeepsCapacity) {
    const struct {
        int index;
        int count;
        std::vector<int> left;
    } cases[] = {
        {0, 1, {2, 3}}, {2, 1, {1, 2}}, {1, 1, {1, 3}}, {0, 3, {}}, {1, 2, {1}}, {0, 0, {1, 2, 3}},
    };
    for (const auto& c : cases) {
        CVArray<int, int> arr;
        arr.Add(1);
        arr.Add(2);
        arr.Add(3);
        const int capacity = arr.m_nCapacity;
        arr.RemoveAt(c.index, c.count);
        ASSERT_EQ(arr.GetSize(), static_cast<int>(c.left.size())) << c.index << "," << c.count;
        for (size_t i = 0; i < c.left.size(); ++i) EXPECT_EQ(arr[static_cast<int>(i)], c.left[i]);
        EXPECT_EQ(arr.m_nCapacity, capacity);
    }
}

TEST(CVArray, ClassElementsAreConstructedOnZeroedBytesAndDestroyed) {
    Tracked::Reset();
    {
        CVArray<Tracked, Tracked&> arr;
        arr.SetSize(5);
        EXPECT_EQ(Tracked::s_nLive, 5);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(arr[i].m_nValue, 0);
        // Growth relocates by bytes: no element is copied or destroyed.
        Tracked t;
        t.m_nValue = 77;
        const int ctorsBefore = Tracked::s_nCtors;
        arr.Add(t);
        EXPECT_EQ(Tracked::s_nCtors, ctorsBefore + 1);
        EXPECT_EQ(Tracked::s_nDtors, 0);
        EXPECT_EQ(arr[5].m_nValue, 77);
        // Shrinking destroys the dropped elements only.
        arr.SetSize(2);
        EXPECT_EQ(Tracked::s_nLive, 3);  // two in the array, t
        arr.RemoveAt(0, 1);
        EXPECT_EQ(Tracked::s_nLive, 2);
    }
    EXPECT_EQ(Tracked::s_nLive, 0);
    EXPECT_EQ(Tracked::s_nCtors, Tracked::s_nDtors);
}

TEST(CVArray, AddOfItsOwnElementSurvivesGrowth) {
    Tracked::Reset();
    CVArray<Tracked, Tracked&> arr;
    arr.SetSize(1);
    arr[0].m_nValue = 31;
    for (int i = 0; i < 40; ++i) arr.Add(arr[0]);  // reallocates several times
    for (int i = 0; i < arr.GetSize(); ++i) ASSERT_EQ(arr[i].m_nValue, 31) << i;
}

TEST(CVArray, AddOfItsOwnPlainElementByReferenceSurvivesGrowth) {
    int target = 0;
    CVArray<int*, int*&> arr;
    arr.SetSize(1);
    arr[0] = &target;
    for (int i = 0; i < 3000; ++i) arr.Add(arr[i]);  // the heap may move the buffer
    arr.SetAtGrow(5000, arr[0]);
    for (int i = 0; i <= 3000; ++i) ASSERT_EQ(arr[i], &target) << i;
    EXPECT_EQ(arr[5000], &target);
    EXPECT_EQ(arr[4000], nullptr);
}

TEST(CVArray, FailedGrowthLeavesTheArrayAsItWas) {
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "allocation hook not compiled in";
    vostest::AllocHookGuard guard;
    CVArray<int, int> arr;
    vostest::FailAllocationAt(1);
    EXPECT_EQ(arr.Add(1), -1);
    EXPECT_EQ(arr.GetSize(), 0);
    EXPECT_EQ(arr.GetData(), nullptr);
    for (int i = 0; i < 5; ++i) arr.Add(i);  // capacity 5
    const int* before = arr.GetData();
    vostest::FailAllocationAt(1, true);
    EXPECT_EQ(arr.Add(5), -1);
    arr.SetAtGrow(9, 9);
    arr.SetSize(50);
    EXPECT_EQ(arr.GetSize(), 5);
    EXPECT_EQ(arr.m_nCapacity, 5);
    EXPECT_EQ(arr.GetData(), before);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(arr[i], i);
    vostest::FailAllocationAt(0);
    EXPECT_EQ(arr.Add(5), 5);
    EXPECT_EQ(arr.m_nCapacity, 9);
}

TEST(CVArray, HugeSizeIsRefusedWithoutOverflow) {
    // Only a 32-bit target can overflow the byte count of 2^31 - 1 doubles.
    if (sizeof(unsigned long) != 4) GTEST_SKIP() << "byte count cannot overflow here";
    CVArray<double, double> arr;
    arr.SetSize(0x7fffffff);
    EXPECT_EQ(arr.GetSize(), 0);
    EXPECT_EQ(arr.GetData(), nullptr);
}

TEST(CVArray, StringElementsShrinkAndRegrowAsFreshEmptyStrings) {
    CVArray<CVString, CVString&> arr;
    const char* words[] = {"alpha", "beta", "gamma", "delta"};
    for (const char* w : words) {
        CVString s(w);
        arr.Add(s);
    }
    const int capacity = arr.m_nCapacity;
    arr.SetSize(1);
    EXPECT_EQ(arr.m_nCapacity, capacity);
    EXPECT_EQ(arr[0].Compare("alpha"), 0);
    arr.SetSize(4);
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(arr[i].IsEmpty(), 1) << i;
        EXPECT_EQ(static_cast<const unsigned short*>(arr[i]), nullptr) << i;
    }
    // Removal moves the strings' buffers by bytes; each is still owned once.
    arr[3] = CVString("last");
    arr.RemoveAt(1, 2);
    ASSERT_EQ(arr.GetSize(), 2);
    EXPECT_EQ(arr[1].Compare("last"), 0);
    for (int i = 0; i < 20; ++i) {
        CVString s("x");
        arr.SetAtGrow(arr.GetSize() + 1, s);
    }
    EXPECT_EQ(arr.GetSize(), 42);
    EXPECT_EQ(arr[41].Compare("x"), 0);
    EXPECT_EQ(arr[40].IsEmpty(), 1);
}
