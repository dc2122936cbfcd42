// The one point that chooses the block walks of the processor the library
// runs on.
#include "vbase/VCMMapBlocks.h"

#if defined(__arm__) && defined(__linux__)
#include <sys/auxv.h>
#endif

VOS_NAMESPACE_BEGIN

namespace {

#ifdef VOS_TEST_HOOKS
int g_nUseBlockWalks = 1;
#endif

const CVCMMapBlockWalks* Detect() {
#if defined(__x86_64__) && defined(__GNUC__)
    return __builtin_cpu_supports("ssse3") ? &g_VCMMapSsse3Walks : &g_VCMMapSse2Walks;
#elif defined(__arm__) && defined(__linux__) && defined(VOS_NEON_WALKS)
    // The armeabi-v7a baseline promises no NEON (VFPv3-D16 only): ask the
    // kernel. HWCAP_NEON of the Linux ARM interface.
    const unsigned long kHwcapNeon = 1UL << 12;
    return (getauxval(AT_HWCAP) & kHwcapNeon) != 0 ? &g_VCMMapNeonWalks : nullptr;
#else
    return nullptr;
#endif
}

}  // namespace

const CVCMMapBlockWalks* VCMMap_BlockWalks() {
#ifdef VOS_TEST_HOOKS
    if (__atomic_load_n(&g_nUseBlockWalks, __ATOMIC_RELAXED) == 0) return nullptr;
#endif
    static const CVCMMapBlockWalks* const s_pWalks = Detect();
    return s_pWalks;
}

VOS_NAMESPACE_END

#ifdef VOS_TEST_HOOKS
extern "C" VOS_API void VCMMapHook_UseBlockWalks(int on) {
    __atomic_store_n(&_palex_zu::g_nUseBlockWalks, on != 0 ? 1 : 0, __ATOMIC_RELAXED);
}
#endif
