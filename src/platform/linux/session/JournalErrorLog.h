#pragma once

#include "platform/ErrorLog.h"

#include <QByteArray>

/// Error-level entries in the systemd journal, tagged with a subsystem and a category;
/// copied to standard error when that is a terminal.
class JournalErrorLog : public ErrorLog {
public:
    JournalErrorLog(QByteArray subsystem, QByteArray category);

    void error(const QString& message) override;

private:
    QByteArray m_subsystem;
    QByteArray m_category;
};
