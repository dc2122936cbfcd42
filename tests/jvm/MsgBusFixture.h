// A started library for message-bus tests, and an observer that records
// what it receives.
#ifndef VOS_TESTS_JVM_MSGBUSFIXTURE_H
#define VOS_TESTS_JVM_MSGBUSFIXTURE_H

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "vos/vos.h"
#include "vsi/android/VMsgRecord.h"

struct Delivery {
    std::string who;
    unsigned int id;
    unsigned int wParam;
    int lParam;
    bool operator==(const Delivery& o) const {
        return who == o.who && id == o.id && wParam == o.wParam && lParam == o.lParam;
    }
};

inline std::ostream& operator<<(std::ostream& os, const Delivery& d) {
    return os << d.who << "(" << d.id << "," << d.wParam << "," << d.lParam << ")";
}

// Appends every message to a shared log; consumes when told to; runs an
// optional action inside Update.
class RecordingObserver : public _palex_zu::CVMsgObserver {
public:
    RecordingObserver(const std::string& name, std::vector<Delivery>* log, std::mutex* logLock = nullptr)
        : m_name(name), m_log(log), m_logLock(logLock) {}

    int Update(unsigned int id, unsigned int wParam, int lParam) override {
        {
            std::unique_lock<std::mutex> lock;
            if (m_logLock) lock = std::unique_lock<std::mutex>(*m_logLock);
            m_log->push_back(Delivery{m_name, id, wParam, lParam});
        }
        if (action) action(id);
        return consume;
    }

    int consume = 0;
    std::function<void(unsigned int)> action;

private:
    std::string m_name;
    std::vector<Delivery>* m_log;
    std::mutex* m_logLock;
};

class MsgBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        _palex_zu::_VosEnv_t env;
        ASSERT_EQ(1, _palex_zu::CVVos::GlobalInit(env));
    }
    void TearDown() override {
        _palex_zu::CVMsg::RemoveAllMsgObserver();
        _palex_zu::CVVos::GlobalUnInit();
        EXPECT_EQ(0u, _palex_zu::CVVos::m_ulRefCnt);
    }

    // The observer table as (observer, id) pairs, in table order.
    static std::vector<std::pair<_palex_zu::CVMsgObserver*, unsigned int>> Table() {
        std::vector<std::pair<_palex_zu::CVMsgObserver*, unsigned int>> pairs;
        _palex_zu::tagVMsgRecord* rec = _palex_zu::VMsg_Record();
        for (int i = 0; i < rec->m_arrObservers.GetSize(); ++i) {
            pairs.emplace_back(rec->m_arrObservers[i].pObserver, rec->m_arrObservers[i].nCmdID);
        }
        return pairs;
    }
};

#endif  // VOS_TESTS_JVM_MSGBUSFIXTURE_H
