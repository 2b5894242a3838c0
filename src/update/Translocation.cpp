#include "update/Translocation.h"

#include "bundle/BundleInfo.h"
#include "bundle/BundleInstaller.h"
#include "platform/AlertPresenter.h"
#include "platform/BundleReplacer.h"
#include "settings/DefaultsStore.h"
#include "settings/SettingsKey.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

using namespace Qt::StringLiterals;

Translocation::Translocation(Parts parts)
    : m_parts(std::move(parts))
{
}

QString Translocation::userApplicationsFolder() const
{
    return m_parts.homePath + u"/Applications"_s;
}

QString Translocation::shown(const QString& folder) const
{
    // The home folder as "~", but only as a whole component: /home/alice2 is not ~2.
    const bool isInHome = !m_parts.homePath.isEmpty() && folder.startsWith(m_parts.homePath)
        && (folder.size() == m_parts.homePath.size() || folder.at(m_parts.homePath.size()) == u'/');
    return isInHome ? u'~' + folder.mid(m_parts.homePath.size()) : folder;
}

QString Translocation::destinationFolder() const
{
    // The system's folder where this user may write in it (or make it), else the user's own.
    const QFileInfo system(m_parts.systemApplicationsFolder);
    const QString writable = system.exists() ? system.filePath() : system.absolutePath();
    return access(QFile::encodeName(writable).constData(), W_OK) == 0 ? m_parts.systemApplicationsFolder
                                                                      : userApplicationsFolder();
}

bool Translocation::isActive() const
{
    // A package manager's copy stays where the package put it, read-only or not.
    return BundleInfo::isSelfManaged(m_parts.bundlePath) && m_parts.system.isOnReadOnlyFileSystem(m_parts.bundlePath);
}

bool Translocation::offerToRelocate()
{
    if (!isActive())
        return false;
    const QString destination = shown(destinationFolder());
    const int answer = m_parts.alerts.present(
        {u"Move Tavrink to an applications folder"_s,
         u"Tavrink is running from a read-only location, so it can't install its own updates. Tavrink will move "
         "itself to %1 and relaunch."_s.arg(destination),
         {u"Move and Relaunch"_s, u"Quit"_s},
         Alert::Style::Warning});
    if (answer == 0) {
        const auto moved = relocate();
        if (moved.index() == 0) {
            m_parts.system.relaunch(BundleInfo::executable(std::get<0>(moved)));
        } else {
            m_parts.alerts.present(
                {u"Could not move Tavrink"_s, copyByHand(destination, std::get<1>(moved)), {}, Alert::Style::Critical});
        }
    }
    // The read-only copy stays where the user left it: it is not moved to the Trash.
    m_parts.terminate();
    return true;
}

bool Translocation::offerUserInstall()
{
    if (!BundleInfo::isSelfManaged(m_parts.bundlePath) || isActive())
        return false;
    const QString folder = QFileInfo(m_parts.bundlePath).path();
    if (folder == m_parts.systemApplicationsFolder || folder == userApplicationsFolder())
        return false;
    if (m_parts.settings.boolValue(SettingsKey::skipUserApplicationsInstall, false))
        return false;
    const QString destination = shown(destinationFolder());
    const int answer = m_parts.alerts.present(
        {u"Move Tavrink to %1?"_s.arg(destination),
         u"Tavrink is running from "_s + shown(folder) + u". It will move itself to "_s + destination
             + u" and reopen. That needs no administrator password, and the copy you downloaded goes to the Trash."_s,
         {u"Move and Reopen"_s, u"Not Now"_s},
         Alert::Style::Warning});
    if (answer != 0) {
        m_parts.settings.setValue(SettingsKey::skipUserApplicationsInstall, true);
        return false;
    }
    const auto moved = relocate();
    if (moved.index() == 1) {
        m_parts.alerts.present(
            {u"Could not move Tavrink"_s, copyByHand(destination, std::get<1>(moved)), {}, Alert::Style::Warning});
        return false;
    }
    m_parts.system.moveToTrash(m_parts.bundlePath); // a failure leaves the old copy; the new one runs all the same
    m_parts.system.relaunch(BundleInfo::executable(std::get<0>(moved)));
    m_parts.terminate();
    return true;
}

QString Translocation::copyByHand(const QString& destination, const QString& reason)
{
    return u"Copy Tavrink.app into %1 with your file manager, then open it again.\n\n(%2)"_s.arg(destination, reason);
}

std::variant<QString, QString> Translocation::relocate()
{
    QString failure;
    for (const QString& folder : {m_parts.systemApplicationsFolder, userApplicationsFolder()}) {
        const QString destination = folder + u"/Tavrink.app"_s;
        QDir().mkpath(folder); // a failure shows in the copy
        if (const auto error = BundleInstaller::place(m_parts.bundlePath, destination, m_parts.system)) {
            failure = *error;
            continue;
        }
        m_parts.system.clearDownloadMarks(destination);
        return std::variant<QString, QString>(std::in_place_index<0>, destination);
    }
    return std::variant<QString, QString>(std::in_place_index<1>, failure);
}
