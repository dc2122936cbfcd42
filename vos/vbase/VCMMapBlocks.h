// Internal to the code-page converters: the block walks of one instruction
// set (SSSE3 on x86-64 in VCMMapX86.cpp, NEON on 32-bit ARM in
// VCMMapNeon.cpp) and the one point that chooses them at run time.
//
// A block walk converts from *pi, *pout while its blocks may run: far from a
// zero, from the end of the source and from the capacity, on text of the
// kinds it knows. It leaves everything else, and the rest of the text, to the
// exact walk beside it, which is the reference the results must equal unit
// for unit. It may store past what it took only where it later writes again
// or puts back what was there: the destination beyond the result is left as
// it was.
#ifndef VOS_VBASE_VCMMAPBLOCKS_H
#define VOS_VBASE_VCMMAPBLOCKS_H

#include <stddef.h>

#include "vos/VDefine.h"

VOS_NAMESPACE_BEGIN

struct CVCMMapBlockWalks {
    // GBK to UTF-16; index is CVCMMapIndex::s_pMB2WC, never null.
    void (*pfnGbkToUtf16)(const unsigned char* s, size_t n, unsigned short* d, size_t cap,
                          const unsigned short* index, size_t* pi, size_t* pout);
    // UTF-16 to GBK; entries is CVCMMapIndex::s_pWC2MB, never null.
    void (*pfnUtf16ToGbk)(const unsigned short* s, size_t n, unsigned char* d, size_t cap,
                          const unsigned short* entries, size_t* pi, size_t* pout);
    void (*pfnUtf8ToUtf16)(const unsigned char* s, size_t n, unsigned short* d, size_t cap, size_t* pi,
                           size_t* pout);
    void (*pfnUtf16ToUtf8)(const unsigned short* s, size_t n, unsigned char* d, size_t cap, size_t* pi,
                           size_t* pout);
};

// The walks this processor runs, or null (the exact walks alone). Any entry
// may be null.
const CVCMMapBlockWalks* VCMMap_BlockWalks();

// Defined only where the instruction set exists.
extern const CVCMMapBlockWalks g_VCMMapSse2Walks;
extern const CVCMMapBlockWalks g_VCMMapSsse3Walks;
extern const CVCMMapBlockWalks g_VCMMapNeonWalks;

VOS_NAMESPACE_END

#ifdef VOS_TEST_HOOKS
extern "C" {
// Test builds only: 0 makes every conversion take the exact walks alone, so
// that the tests can run each walk with and without the block walks; 1
// (the default) lets the processor's block walks run again.
VOS_API void VCMMapHook_UseBlockWalks(int on);
}
#endif

#endif  // VOS_VBASE_VCMMAPBLOCKS_H
