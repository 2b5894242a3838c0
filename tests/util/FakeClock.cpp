#include "FakeClock.h"

class FakeClockTimer : public ClockTimer {
public:
    FakeClockTimer(FakeClock& clock, int id)
        : m_clock(clock)
        , m_id(id)
    {
    }
    ~FakeClockTimer() override { m_clock.m_timers.erase(m_id); }

private:
    FakeClock& m_clock;
    int m_id;
};

std::unique_ptr<ClockTimer> FakeClock::schedule(std::chrono::milliseconds interval, bool repeats,
                                                std::function<void()> fired)
{
    const int id = m_nextId++;
    m_timers[id] = {m_elapsed + interval, interval, repeats, std::move(fired)};
    return std::make_unique<FakeClockTimer>(*this, id);
}

void FakeClock::advance(std::chrono::milliseconds by)
{
    const std::chrono::milliseconds target = m_elapsed + by;
    for (;;) {
        auto next = m_timers.end();
        for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
            if (it->second.due <= target && (next == m_timers.end() || it->second.due < next->second.due))
                next = it;
        }
        if (next == m_timers.end())
            break;
        m_now = m_now.addMSecs((next->second.due - m_elapsed).count());
        m_elapsed = next->second.due;
        const std::function<void()> fired = next->second.fired;
        if (next->second.repeats)
            next->second.due += next->second.interval;
        else
            next->second.due = std::chrono::milliseconds::max();
        fired();
    }
    m_now = m_now.addMSecs((target - m_elapsed).count());
    m_elapsed = target;
}
