#pragma once

// Small helpers every kind of test shares: files, locale and time zone, a D-Bus daemon of the
// test's own, and running a command to its end.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>

/// Writes the file, making its folder first; false when that fails.
inline bool writeFile(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// A bundle of this version whose executable, when started, writes the version to the marker
/// file: a relaunch shows in the marker.
inline bool makeMarkerBundle(const QString& bundle, const QString& version, const QString& marker)
{
    const QString executable = bundle + QStringLiteral("/bin/tavrink");
    return writeFile(bundle + QStringLiteral("/Info.json"),
                     "{\"CFBundleShortVersionString\": \"" + version.toUtf8() + "\"}")
        && writeFile(executable, "#!/bin/sh\necho " + version.toUtf8() + " > '" + marker.toUtf8() + "'\n")
        && QFile::setPermissions(executable, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)
        && QFile::link(QStringLiteral("bin/tavrink"), bundle + QStringLiteral("/tavrink"));
}

/// Times and names as an English user in UTC sees them.
inline void useEnglishInUtc()
{
    qputenv("TZ", "UTC");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
}

/// Runs a shell command line to its end: its exit status and its output, both streams together.
inline std::pair<int, QString> runCommand(const QString& line, int timeoutMs = 30000)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("sh"), {QStringLiteral("-c"), line});
    const bool isFinished = process.waitForFinished(timeoutMs);
    const int status = isFinished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return {status, QString::fromUtf8(process.readAll())};
}

/// A dbus-daemon of the test's own, for a system bus or a second session bus.
class PrivateBus {
public:
    /// OnDemand: the bus starts the session's services when asked, as a desktop's does; None:
    /// what the test does not start is not there.
    enum class Services { OnDemand, None };

    explicit PrivateBus(Services services = Services::OnDemand)
    {
        const QString config = m_folder.filePath(QStringLiteral("bus.conf"));
        if (services == Services::None)
            writeFile(config,
                      "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                      "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                      "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
                      "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                      "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
        m_daemon.start(
            QStringLiteral("dbus-daemon"),
            {services == Services::None ? QStringLiteral("--config-file=") + config : QStringLiteral("--session"),
             QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (m_daemon.waitForReadyRead(10000))
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
    /// Empty when the daemon did not start.
    QString address() const { return m_address; }

private:
    QTemporaryDir m_folder;
    QProcess m_daemon;
    QString m_address;
};

// The members of one interface in introspection XML, one line each with their D-Bus signatures.
inline QStringList members(const QString& xml, const QString& interface)
{
    QList<QStringList> found; // kind and name, then the in and out signatures
    QXmlStreamReader reader(xml);
    bool isInside = false;
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::EndElement && reader.name() == QStringLiteral("interface"))
            isInside = false;
        if (!reader.isStartElement())
            continue;
        const QXmlStreamAttributes a = reader.attributes();
        const QString tag = reader.name().toString();
        if (tag == QStringLiteral("interface"))
            isInside = a.value(QStringLiteral("name")) == interface;
        else if (isInside
                 && (tag == QStringLiteral("method") || tag == QStringLiteral("signal")
                     || tag == QStringLiteral("property")))
            found.append({tag + u' ' + a.value(QStringLiteral("name")).toString(),
                          a.value(QStringLiteral("type")).toString() + a.value(QStringLiteral("access")).toString(),
                          QString()});
        else if (isInside && tag == QStringLiteral("arg"))
            found.last()[a.value(QStringLiteral("direction")) == QStringLiteral("in") ? 1 : 2]
                += a.value(QStringLiteral("type"));
    }
    QStringList lines;
    for (const QStringList& member : std::as_const(found))
        lines << member.join(u' ');
    lines.sort();
    return lines;
}
