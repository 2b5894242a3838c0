#include "platform/linux/session/JournalErrorLog.h"

#include <cstdio>

#include <syslog.h>
#include <unistd.h>

#ifdef TAVRINK_HAVE_SYSTEMD
#include <systemd/sd-journal.h>
#endif

JournalErrorLog::JournalErrorLog(QByteArray subsystem, QByteArray category)
    : m_subsystem(std::move(subsystem))
    , m_category(std::move(category))
{
}

void JournalErrorLog::error(const QString& message)
{
    const QByteArray text = message.toUtf8();
#ifdef TAVRINK_HAVE_SYSTEMD
    sd_journal_send("MESSAGE=%s", text.constData(), "PRIORITY=%d", LOG_ERR, "SYSLOG_IDENTIFIER=tavrink", "SUBSYSTEM=%s",
                    m_subsystem.constData(), "CATEGORY=%s", m_category.constData(), nullptr);
#else
    syslog(LOG_ERR, "[%s:%s] %s", m_subsystem.constData(), m_category.constData(), text.constData());
#endif
    if (isatty(STDERR_FILENO))
        std::fprintf(stderr, "tavrink: %s\n", text.constData());
}
