// Step 4: message observers; one message posted out through Java and back,
// one sent and delivered at once.
#include <atomic>
#include <string>

#include "Tour.h"

using namespace _palex_zu;

namespace vostour {

namespace {

const unsigned int kHelloMessage = 1024;
const unsigned int kSentMessage = 1025;

// Sees every message first and lets it pass on (returns 0).
class CountingObserver : public CVMsgObserver {
public:
    int Update(unsigned int, unsigned int, int) override {
        ++m_nSeen;
        return 0;
    }
    int Seen() const { return m_nSeen.load(); }

private:
    std::atomic<int> m_nSeen{0};
};

// The posted hello message: notes the thread it came back on.
class HelloObserver : public CVMsgObserver {
public:
    int Update(unsigned int id, unsigned int wParam, int lParam) override {
        const std::string thread = JavaThreadName();
        Say("message %u (wParam %u, lParam %d) came back on %s%s%s", id, wParam, lParam,
            thread.empty() ? "a native thread" : "Java thread \"", thread.c_str(), thread.empty() ? "" : "\"");
        m_bArrived = true;
        Signal();
        return 1;
    }
    bool Arrived() const { return m_bArrived.load(); }

private:
    std::atomic<bool> m_bArrived{false};
};

// A message sent with SendMessage: delivered at once, on the sender's thread.
class SentObserver : public CVMsgObserver {
public:
    int Update(unsigned int id, unsigned int wParam, int lParam) override {
        const std::string thread = JavaThreadName();
        Say("message %u (wParam %u, lParam %d) delivered at once on the sending thread (\"%s\")", id, wParam,
            lParam, thread.c_str());
        m_bArrived = true;
        return 1;
    }
    bool Arrived() const { return m_bArrived.load(); }

private:
    std::atomic<bool> m_bArrived{false};
};

// Never destroyed: a message may still arrive while the process exits.
CountingObserver& g_all = *new CountingObserver;
HelloObserver& g_hello = *new HelloObserver;
SentObserver& g_sent = *new SentObserver;

}  // namespace

void Messages() {
    Step("Register message observers; post and send messages");
    if (CVMsg::AttachAllMsgsObserver(&g_all) != 1 || CVMsg::AttachMsgObserver(kHelloMessage, &g_hello) != 1 ||
        CVMsg::AttachMsgObserver(kSentMessage, &g_sent) != 1) {
        Fail("attaching the observers failed");
    }
    Say("observers: one for all messages (lets them pass), one each for %u and %u", kHelloMessage, kSentMessage);
    Say("posting %u: it travels out through com.palex.zu.VMsg.postMessage and back", kHelloMessage);
    if (CVMsg::PostMessage(kHelloMessage, 42, -1) != 1) Fail("CVMsg::PostMessage did not reach Java");
    if (!WaitUntil([&] { return g_hello.Arrived(); }, 10000)) Fail("the posted message did not come back in 10 s");
    if (CVMsg::SendMessage(kSentMessage, 7, 8) != 1 || !g_sent.Arrived()) Fail("CVMsg::SendMessage reached no one");
    LogLine(CVLog::ELOG_INFO, "vostour: message bus round trip done");
}

int MessagesSeen() { return g_all.Seen(); }

}  // namespace vostour
