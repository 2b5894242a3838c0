#pragma once

#include "platform/ErrorLog.h"

#include <QByteArray>
#include <QString>

/// Error-level entries in the systemd journal, tagged with a subsystem and a category, written
/// in the journal's native protocol (one datagram to its socket); syslog where no journal
/// listens. Copied to standard error when that is a terminal.
class JournalErrorLog : public ErrorLog {
public:
    static constexpr auto journalSocket = "/run/systemd/journal/socket";

    JournalErrorLog(QByteArray subsystem, QByteArray category, QString socketPath = QLatin1String(journalSocket));
    void error(const QString& message) override;

    /// The datagram of one entry: KEY=value lines, and a value with a line break in it as the key,
    /// a line break, its length as 64-bit little-endian, the value and a line break.
    static QByteArray entry(const QList<std::pair<QByteArray, QByteArray>>& fields);

private:
    QByteArray m_subsystem;
    QByteArray m_category;
    QString m_socketPath;
};
