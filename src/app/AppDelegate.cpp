#include "app/AppDelegate.h"

#include "bundle/BundleInfo.h"
#include "platform/ErrorLog.h"
#include "platform/SingleInstance.h"

#include <QRegularExpression>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

// The host as written, percent-decoded: QUrl folds hosts to lower case, and the rule compares
// them case-sensitively.
QString hostAsWritten(const QString& url)
{
    static const QRegularExpression authority(u"^(?:[A-Za-z][A-Za-z0-9+.-]*:)?//([^/?#]*)"_s);
    const QRegularExpressionMatch match = authority.match(url);
    if (!match.hasMatch())
        return {};
    QString host = match.captured(1).section(u'@', -1); // without the user information
    host = host.startsWith(u'[') ? host.left(host.indexOf(u']') + 1) : host.section(u':', 0, 0); // and the port
    return QUrl::fromPercentEncoding(host.toUtf8());
}

} // namespace

AppDelegate::AppDelegate(Parts parts, QObject* parent)
    : QObject(parent)
    , m_parts(std::move(parts))
{
}

void AppDelegate::chooseDisplayServer()
{
    if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && qEnvironmentVariableIsSet("DISPLAY")
        && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

std::optional<int> AppDelegate::claimInstance(SingleInstance& instance, const QStringList& urls,
                                              const std::function<void(const QString&)>& say)
{
    QString error;
    switch (instance.claim(urls, &error)) {
    case SingleInstance::Claim::Forwarded:
        return 0;
    case SingleInstance::Claim::Refused:
        say(u"tavrink: the running Tavrink did not take the request: %1\n"_s.arg(error));
        return 1;
    case SingleInstance::Claim::Alone:
        say(u"tavrink: no session bus%1; this copy runs without looking for another one\n"_s.arg(
            error.isEmpty() ? QString() : u" ("_s + error + u')'));
        return std::nullopt;
    case SingleInstance::Claim::First:
        return std::nullopt;
    }
    return std::nullopt;
}

void AppDelegate::finishLaunching(const QStringList& urls)
{
    if (std::exchange(m_isLaunched, true) || !applicationDidFinishLaunching())
        return;
    open(urls);
    // A package's copy has its entries from the package, and leaves none behind when removed.
    if (!BundleInfo::isSelfManaged(m_parts.bundlePath) || !m_parts.registerDesktopEntry)
        return;
    if (const std::optional<QString> failure = m_parts.registerDesktopEntry(); failure && m_parts.log)
        m_parts.log->error(*failure);
}

bool AppDelegate::applicationDidFinishLaunching()
{
    if (m_parts.offerToRelocate && m_parts.offerToRelocate())
        return false;
    if (m_parts.offerUserInstall && m_parts.offerUserInstall())
        return false;
    if (m_parts.requests) {
        connect(m_parts.requests, &SingleInstance::reopenRequested, this, &AppDelegate::handleReopen);
        connect(m_parts.requests, &SingleInstance::openRequested, this, &AppDelegate::open);
        m_parts.requests->listen();
    }
    if (m_parts.startUpdateChecks)
        m_parts.startUpdateChecks();
    return true;
}

void AppDelegate::handleReopen()
{
    m_parts.openSettingsWindow();
}

void AppDelegate::open(const QStringList& urls)
{
    for (const QString& url : urls) {
        if (opensSettings(url))
            m_parts.openSettingsWindow();
    }
}

bool AppDelegate::opensSettings(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        return false;
    return (!url.host().isEmpty() && hostAsWritten(text) == u"settings"_s)
        || url.path(QUrl::FullyDecoded).contains(u"settings"_s);
}
