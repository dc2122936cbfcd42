// Step 5: a periodic timer whose ticks travel out through Java and come
// back as message 17.
#include <atomic>

#include "Tour.h"

using namespace _palex_zu;

namespace vostour {

namespace {

const unsigned int kTimerMessage = 17;  // what a timer without a callback posts
const unsigned long kTimerId = 7;
const int kTicks = 3;

// Timer ticks: message 17 with the timer id in wParam.
class TickObserver : public CVMsgObserver {
public:
    int Update(unsigned int id, unsigned int wParam, int lParam) override {
        if (id != kTimerMessage || wParam != kTimerId) return 0;
        const int n = ++m_nTicks;
        Say("tick %d: message %u, timer %u, param %d, at t=%ld ms", n, id, wParam, lParam, Ms());
        LogLine(CVLog::ELOG_INFO, "vostour: timer tick %d", n);
        Signal();
        return 1;
    }
    int Ticks() const { return m_nTicks.load(); }

private:
    std::atomic<int> m_nTicks{0};
};

// Never destroyed: a tick may still arrive while the process exits.
TickObserver& g_ticks = *new TickObserver;

}  // namespace

void Timer() {
    Step("A periodic timer whose ticks arrive as message 17 through Java");
    if (CVMsg::AttachMsgObserver(kTimerMessage, &g_ticks) != 1) Fail("attaching the tick observer failed");
    CVTimer::Init();
    // No callback: each firing posts message 17 with wParam = the timer id.
    const int rc = CVTimer::SetTimer(kTimerId, nullptr, reinterpret_cast<void*>(99), 200, 200, kTicks);
    if (rc != 0) Fail("CVTimer::SetTimer returned %d", rc);
    Say("SetTimer(id %lu, no callback, param 99, first after 200 ms, every 200 ms, %d times) at t=%ld ms", kTimerId,
        kTicks, Ms());
    if (!WaitUntil([&] { return g_ticks.Ticks() >= kTicks; }, 15000)) {
        Fail("%d of %d ticks arrived in 15 s", g_ticks.Ticks(), kTicks);
    }
    Say("%d ticks; the timer thread checks every 100 ms, so a tick comes up to ~100 ms late, never early",
        g_ticks.Ticks());
}

}  // namespace vostour
