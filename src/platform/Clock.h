#pragma once

#include <QDateTime>

#include <chrono>
#include <functional>
#include <memory>

/// A scheduled callback; destroying it cancels it.
class ClockTimer {
public:
    virtual ~ClockTimer() = default;
};

/// Wall-clock time and timers on a monotonic clock that keeps counting while the machine sleeps.
class Clock {
public:
    virtual ~Clock() = default;

    /// The current wall-clock date and time.
    virtual QDateTime now() const = 0;
    /// Calls fired on the calling thread's event loop after interval, and again every interval if repeats.
    virtual std::unique_ptr<ClockTimer> schedule(std::chrono::milliseconds interval, bool repeats,
                                                 std::function<void()> fired)
        = 0;
};
