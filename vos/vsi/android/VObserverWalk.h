// The walk that the message bus and the GPS manager use to call their
// observers. An observer may detach itself or others, or empty the table,
// while the walk is under way on the same thread (the locks are recursive):
// the table's owner reports each removal here, and every walk under way
// shifts its position and end with the table, so that it neither skips a
// survivor, nor calls a removed observer, nor reads past the table's end.
// Observers added meanwhile wait for the next walk. Walks nest when an
// observer starts another one on the same thread.
#ifndef VOS_VSI_ANDROID_VOBSERVERWALK_H
#define VOS_VSI_ANDROID_VOBSERVERWALK_H

#include "vos/VDefine.h"

VOS_NAMESPACE_BEGIN

// One walk under way. The head of the list of walks belongs to the table's
// owner and is guarded by the owner's lock, held for the walk's whole life.
class CVObserverWalk {
public:
    // Starts a walk over the size entries the table holds now.
    CVObserverWalk(CVObserverWalk*& head, int size) : m_rHead(head), m_nNext(0), m_nEnd(size), m_pOuter(head) {
        head = this;
    }
    ~CVObserverWalk() { m_rHead = m_pOuter; }

    // The table position to visit next, or -1 when the walk is over.
    int Next() { return m_nNext < m_nEnd ? m_nNext++ : -1; }

    // The entry at index has been removed and the later ones moved down.
    static void Removed(CVObserverWalk* head, int index) {
        for (CVObserverWalk* walk = head; walk != nullptr; walk = walk->m_pOuter) {
            if (index < walk->m_nEnd) --walk->m_nEnd;
            if (index < walk->m_nNext) --walk->m_nNext;
        }
    }
    // The table has been emptied: every walk ends.
    static void Cleared(CVObserverWalk* head) {
        for (CVObserverWalk* walk = head; walk != nullptr; walk = walk->m_pOuter) {
            walk->m_nNext = 0;
            walk->m_nEnd = 0;
        }
    }

private:
    CVObserverWalk(const CVObserverWalk&);
    CVObserverWalk& operator=(const CVObserverWalk&);

    CVObserverWalk*& m_rHead;
    int m_nNext;
    int m_nEnd;
    CVObserverWalk* m_pOuter;
};

VOS_NAMESPACE_END

#endif  // VOS_VSI_ANDROID_VOBSERVERWALK_H
