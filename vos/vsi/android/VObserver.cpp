#include "vos/VObserver.h"

#include "vos/VMem.h"

using _palex_zu::CVMem;

CVObservable::CVObservable() : m_pHead(nullptr) {}

CVObservable::~CVObservable() {
    while (m_pHead != nullptr) {
        tagObserverNode* next = m_pHead->pNext;
        CVMem::Deallocate(m_pHead);
        m_pHead = next;
    }
}

void CVObservable::addObserver(CVObserver* observer) {
    tagObserverNode* node =
        static_cast<tagObserverNode*>(CVMem::Allocate(sizeof(tagObserverNode), "vos/vsi/android/VObserver", __LINE__));
    if (node == nullptr) return;
    node->pObserver = observer;
    node->pNext = m_pHead;
    m_pHead = node;
}

void CVObservable::deleteObserver(CVObserver* observer) {
    for (tagObserverNode** link = &m_pHead; *link != nullptr; link = &(*link)->pNext) {
        if ((*link)->pObserver == observer) {
            tagObserverNode* found = *link;
            *link = found->pNext;
            CVMem::Deallocate(found);
            return;
        }
    }
}

void CVObservable::notifyObservers() {
    for (tagObserverNode* node = m_pHead; node != nullptr; node = node->pNext) {
        if (node->pObserver != nullptr) node->pObserver->update();
    }
}
