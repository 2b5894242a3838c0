#pragma once

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>

/// A real notification server, dunst, on a bus of the test's own and the display the test runs
/// on. Choosing a notice's button goes through dunst's own context menu, whose chooser picks
/// the first entry with the label asked for.
class NotificationServer {
public:
    static bool isAvailable() { return !QStandardPaths::findExecutable(QStringLiteral("dunst")).isEmpty(); }

    /// Starts dunst on the bus and waits until it owns org.freedesktop.Notifications.
    bool start(const QString& busAddress, const QDBusConnection& bus)
    {
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
        const QString config = m_folder.filePath(QStringLiteral("dunstrc"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write("[global]\n    dmenu = /bin/grep -m1 -F -f " + m_folder.filePath(QStringLiteral("choice")).toUtf8()
                   + '\n');
        file.close();
        m_dunst.setProcessEnvironment(m_environment);
        m_dunst.start(QStringLiteral("dunst"), {QStringLiteral("-config"), config, QStringLiteral("-print")});
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            if (bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.Notifications")))
                return true;
            QThread::msleep(50);
        }
        return false;
    }
    ~NotificationServer()
    {
        m_dunst.kill();
        m_dunst.waitForFinished();
    }

    /// The summary and body of every notice shown so far, "summary: body" each.
    QStringList shown()
    {
        m_printed += m_dunst.readAllStandardOutput();
        QStringList notices;
        static const QRegularExpression pattern(QStringLiteral("summary: '([^']*)'\\s*body: '([^']*)'"));
        for (auto match = pattern.globalMatch(QString::fromUtf8(m_printed)); match.hasNext();) {
            const QRegularExpressionMatch found = match.next();
            notices << found.captured(1) + QStringLiteral(": ") + found.captured(2);
        }
        return notices;
    }

    /// Chooses the button of this label on the newest notice, as a user would.
    bool choose(const QString& label)
    {
        QFile choice(m_folder.filePath(QStringLiteral("choice")));
        if (!choice.open(QIODevice::WriteOnly) || choice.write(label.toUtf8() + '\n') < 0)
            return false;
        choice.close();
        QProcess dunstctl;
        dunstctl.setProcessEnvironment(m_environment);
        dunstctl.start(QStringLiteral("dunstctl"), {QStringLiteral("context")});
        return dunstctl.waitForFinished(10000) && dunstctl.exitCode() == 0;
    }

    /// Stops or resumes the server, as one that hangs.
    void setHanging(bool isHanging) { ::kill(static_cast<pid_t>(m_dunst.processId()), isHanging ? SIGSTOP : SIGCONT); }

private:
    QTemporaryDir m_folder;
    QProcessEnvironment m_environment;
    QProcess m_dunst;
    QByteArray m_printed;
};
