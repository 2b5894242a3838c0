#include "platform/linux/session/TimerfdClock.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cstdint>

#include <sys/timerfd.h>
#include <unistd.h>

namespace {

class TimerfdTimer : public ClockTimer {
public:
    TimerfdTimer(std::chrono::milliseconds interval, bool repeats, std::function<void()> fired)
        : m_fired(std::move(fired))
    {
        m_fd = timerfd_create(CLOCK_BOOTTIME, TFD_NONBLOCK | TFD_CLOEXEC);
        if (m_fd < 0) {
            // Without timerfd the wait does not count sleep, which only delays a refresh.
            m_fallback.setInterval(interval);
            m_fallback.setSingleShot(!repeats);
            QObject::connect(&m_fallback, &QTimer::timeout, [this] {
                const std::function<void()> callback = m_fired;
                callback();
            });
            m_fallback.start();
            return;
        }
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(interval);
        const timespec period{static_cast<time_t>(seconds.count()),
                              static_cast<long>(std::chrono::nanoseconds(interval - seconds).count())};
        itimerspec timing{};
        timing.it_value = period;
        if (repeats)
            timing.it_interval = period;
        timerfd_settime(m_fd, 0, &timing, nullptr);
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] {
            std::uint64_t expirations = 0;
            if (::read(m_fd, &expirations, sizeof expirations) == sizeof expirations && expirations > 0) {
                // The callback may destroy this timer: nothing of it is touched afterwards.
                const std::function<void()> callback = m_fired;
                callback();
            }
        });
    }
    ~TimerfdTimer() override
    {
        if (m_notifier) {
            // May be destroyed from within the notifier's own signal.
            m_notifier->setEnabled(false);
            m_notifier.release()->deleteLater();
        }
        if (m_fd >= 0)
            ::close(m_fd);
    }

private:
    std::function<void()> m_fired;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_fallback;
};

} // namespace

QDateTime TimerfdClock::now() const
{
    return QDateTime::currentDateTimeUtc();
}

std::unique_ptr<ClockTimer> TimerfdClock::schedule(std::chrono::milliseconds interval, bool repeats,
                                                   std::function<void()> fired)
{
    return std::make_unique<TimerfdTimer>(interval, repeats, std::move(fired));
}
