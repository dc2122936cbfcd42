// Allocation-failure walks: an operation runs again and again with its first,
// second, third ... allocation failing until a run needs no failure at all,
// and a check after every failed run proves the object reported the failure
// and stayed sound. Leaks are caught by LeakSanitizer (host-asan).
#ifndef VOS_TESTS_RELIABILITY_ALLOCWALK_H
#define VOS_TESTS_RELIABILITY_ALLOCWALK_H

#include <gtest/gtest.h>
#include <stdio.h>

#include <string>

#include "support/TestSupport.h"
#include "vbase/VMemHook.h"
#include "vos/vos.h"

namespace reliability {

// How the injected failure behaves: only the n-th allocation fails (later
// ones succeed, the usual shape of a transient shortage), or the n-th and
// every later one fails (memory stays exhausted).
enum class FailMode { Once, FromThereOn };

// Runs fn with the n-th allocation failing; true when the hook made a call
// fail, that is when fn needed at least n allocations.
template <class Fn>
bool RunFailingAt(unsigned long n, FailMode mode, Fn&& fn) {
    vostest::AllocHookGuard guard;
    vostest::FailAllocationAt(n, mode == FailMode::FromThereOn);
    fn();
    const bool failed = VMemHook_FailCount() > 0;
    vostest::FailAllocationAt(0);
    return failed;
}

// Walks n = 1, 2, ... For each n, step(n, mode, failed) sets up a fresh
// object, runs the operation under RunFailingAt and checks the outcome; it
// returns whether an allocation was made to fail. The walk ends at the first
// run that needed no failure; the result is the number of failure points
// tried (the operation's allocation count along its successful path).
template <class Step>
unsigned long WalkAllocationFailures(const char* what, FailMode mode, Step&& step, unsigned long limit = 400) {
    if (!vostest::AllocHookAvailable()) return 0;
    for (unsigned long n = 1; n <= limit; ++n) {
        SCOPED_TRACE(std::string(what) + ", allocation " + std::to_string(n) +
                     (mode == FailMode::Once ? " fails" : " and all later ones fail"));
        if (!step(n, mode)) {
            printf("[ alloc-walk ] %s (%s): %lu failure points\n", what,
                   mode == FailMode::Once ? "once" : "from there on", n - 1);
            ::testing::Test::RecordProperty(std::string("alloc_points_") + what, static_cast<int>(n - 1));
            return n - 1;
        }
        if (::testing::Test::HasFatalFailure()) return n;
    }
    ADD_FAILURE() << what << " still fails after " << limit << " injected failures";
    return limit;
}

// Both modes; the result is the failure points of the single-failure walk.
template <class Step>
unsigned long WalkBoth(const char* what, Step&& step, unsigned long limit = 400) {
    const unsigned long once = WalkAllocationFailures(what, FailMode::Once, step, limit);
    const unsigned long all = WalkAllocationFailures(what, FailMode::FromThereOn, step, limit);
    // Exhaustion from the first failing call on can only cut the path short.
    EXPECT_EQ(once, all) << what;
    return once;
}

#define RELIABILITY_REQUIRE_HOOK() \
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "allocation hook not compiled in"

using vostest::Str;
using vostest::Text;

}  // namespace reliability

#endif  // VOS_TESTS_RELIABILITY_ALLOCWALK_H
