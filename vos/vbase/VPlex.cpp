#include "vos/VTempl.h"

VOS_NAMESPACE_BEGIN

CVPlex* CVPlex::Create(CVPlex*& head, unsigned long n, unsigned long size) {
    const unsigned long limit = static_cast<unsigned long>(-1) - sizeof(CVPlex);
    if (size != 0 && n > limit / size) return nullptr;
    CVPlex* block = static_cast<CVPlex*>(CVMem::Allocate(sizeof(CVPlex) + n * size, "inc/vos/VTempl.h", __LINE__));
    if (block == nullptr) return nullptr;
    block->pNext = head;
    head = block;
    return block;
}

void CVPlex::FreeDataChain() {
    CVPlex* block = this;
    while (block != nullptr) {
        CVPlex* next = block->pNext;
        CVMem::Deallocate(block);
        block = next;
    }
}

VOS_NAMESPACE_END
