#include "app/AppDelegate.h"

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
