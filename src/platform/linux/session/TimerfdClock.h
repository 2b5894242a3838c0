#pragma once

#include "platform/Clock.h"

/// Timers on CLOCK_BOOTTIME through timerfd, so that a wait keeps counting while the machine sleeps.
class TimerfdClock : public Clock {
public:
    QDateTime now() const override;
    std::unique_ptr<ClockTimer> schedule(std::chrono::milliseconds interval, bool repeats,
                                         std::function<void()> fired) override;
};
