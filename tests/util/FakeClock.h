#pragma once

#include "platform/Clock.h"

#include <QTimeZone>

#include <map>

/// Time that moves only when the test says so; due timers fire, in order, inside advance().
class FakeClock : public Clock {
public:
    QDateTime now() const override { return m_now; }
    std::unique_ptr<ClockTimer> schedule(std::chrono::milliseconds interval, bool repeats,
                                         std::function<void()> fired) override;

    void advance(std::chrono::milliseconds by);
    /// Timers still waiting.
    int pendingCount() const { return static_cast<int>(m_timers.size()); }
    std::chrono::milliseconds elapsed() const { return m_elapsed; }

private:
    struct Entry {
        std::chrono::milliseconds due;
        std::chrono::milliseconds interval;
        bool repeats;
        std::function<void()> fired;
    };
    friend class FakeClockTimer;

    QDateTime m_now = QDateTime(QDate(2026, 12, 6), QTime(9, 41), QTimeZone::utc());
    std::chrono::milliseconds m_elapsed{0};
    int m_nextId = 0;
    std::map<int, Entry> m_timers;
};
