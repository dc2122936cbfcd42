#include "vos/VMem.h"

#include <stdlib.h>

#include "VMemHook.h"
#include "VMemSize.h"

#ifdef VOS_TEST_HOOKS
#include <atomic>
#endif

VOS_NAMESPACE_BEGIN

CVAllocData* CVMem::m_pAllocData = nullptr;
CVMemData* CVMem::m_pMemData = nullptr;

#ifdef VOS_TEST_HOOKS
namespace {
std::atomic<unsigned long> s_ulFailAt{0};
std::atomic<int> s_bFailOn{0};
std::atomic<unsigned long> s_ulCalls{0};
std::atomic<unsigned long> s_ulFailed{0};
std::atomic<long> s_lLiveBlocks{0};

// Counts the blocks the facade has handed out and not yet taken back, so that
// tests can tell an object left behind from the C library's own bookkeeping.
void CountBlocks(bool hadBlock, const void* after) {
    const long change = (after != nullptr ? 1 : 0) - (hadBlock ? 1 : 0);
    if (change != 0) s_lLiveBlocks.fetch_add(change, std::memory_order_relaxed);
}

bool InjectFailure() {
    const unsigned long at = s_ulFailAt.load(std::memory_order_relaxed);
    const unsigned long call = s_ulCalls.fetch_add(1, std::memory_order_relaxed) + 1;
    if (at == 0) return false;
    if (call == at || (call > at && s_bFailOn.load(std::memory_order_relaxed))) {
        s_ulFailed.fetch_add(1, std::memory_order_relaxed);
        return true;
    }
    return false;
}
}  // namespace

bool VMem_FailureArmed() { return s_ulFailAt.load(std::memory_order_relaxed) != 0; }
#else
static inline bool InjectFailure() { return false; }
static inline void CountBlocks(bool, const void*) {}
#endif

void* CVMem::Allocate(unsigned long size, const char* /*file*/, int /*line*/) {
    if (InjectFailure()) return nullptr;
    void* block = malloc(size);
    CountBlocks(false, block);
    return block;
}

void CVMem::Deallocate(void* p) {
    CountBlocks(p != nullptr, nullptr);
    free(p);
}

void* CVMem::Reallocate(void* p, unsigned long size) {
    if (InjectFailure()) return nullptr;
    const bool hadBlock = p != nullptr;
    void* block = realloc(p, size);
    // A failed growth leaves the old block in place; a size of 0 frees it.
    if (block != nullptr || size == 0) CountBlocks(hadBlock, block);
    return block;
}

// CVMem::GlobalAllocate lives beside CVAllocData, which it forwards to.

VOS_NAMESPACE_END

#ifdef VOS_TEST_HOOKS
extern "C" {
VOS_API void VMemHook_FailAt(unsigned long n, int failFromThereOn) {
    _palex_zu::s_ulFailAt.store(0);
    _palex_zu::s_bFailOn.store(failFromThereOn ? 1 : 0);
    _palex_zu::s_ulCalls.store(0);
    _palex_zu::s_ulFailed.store(0);
    _palex_zu::s_ulFailAt.store(n);
}
VOS_API unsigned long VMemHook_CallCount(void) { return _palex_zu::s_ulCalls.load(); }
VOS_API unsigned long VMemHook_FailCount(void) { return _palex_zu::s_ulFailed.load(); }
VOS_API long VMemHook_LiveBlocks(void) { return _palex_zu::s_lLiveBlocks.load(); }
}
#endif
