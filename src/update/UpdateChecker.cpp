#include "update/UpdateChecker.h"

#include "bundle/BundleInfo.h"
#include "bundle/BundleInstaller.h"
#include "network/HttpsRequest.h"
#include "platform/AlertPresenter.h"
#include "platform/BundleReplacer.h"
#include "platform/Clock.h"
#include "platform/ErrorLog.h"
#include "settings/DefaultsStore.h"
#include "settings/SettingsKey.h"
#include "update/UpdateFolder.h"
#include "update/UpdateHelper.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QList>

using namespace Qt::StringLiterals;

namespace {

// An optional sign and one or more ASCII digits that fit in 64 bits; anything else is 0.
qint64 component(QStringView piece)
{
    const QStringView digits = piece.startsWith(u'+') || piece.startsWith(u'-') ? piece.mid(1) : piece;
    if (digits.isEmpty())
        return 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return 0;
    }
    bool isNumber = false;
    const qint64 value = piece.startsWith(u'+') ? digits.toLongLong(&isNumber) : piece.toLongLong(&isNumber);
    return isNumber ? value : 0;
}

QList<qint64> components(const QString& version)
{
    QList<qint64> numbers;
    for (const QStringView piece : QStringView(version).split(u'.', Qt::SkipEmptyParts))
        numbers.append(component(piece));
    return numbers;
}

} // namespace

bool UpdateChecker::isNewer(const QString& candidate, const QString& reference)
{
    const QList<qint64> a = components(candidate);
    const QList<qint64> b = components(reference);
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
        const qint64 x = a.value(i, 0);
        const qint64 y = b.value(i, 0);
        if (x != y)
            return x > y;
    }
    return false;
}

std::variant<UpdateChecker::Manifest, QString> UpdateChecker::decodeManifest(const QByteArray& body)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return u"The update information is not valid JSON (%1 at byte %2)."_s.arg(error.errorString())
            .arg(error.offset);
    if (!document.isObject())
        return u"The update information is not a JSON object."_s;
    const QJsonObject object = document.object();
    const QJsonValue version = object.value(u"version"_s);
    const QJsonValue url = object.value(u"url"_s);
    const QJsonValue notes = object.value(u"notes"_s);
    if (!version.isString())
        return u"The update information has no \"version\" text."_s;
    if (!url.isString())
        return u"The update information has no \"url\" text."_s;
    if (!notes.isUndefined() && !notes.isNull() && !notes.isString())
        return u"The update information's \"notes\" are not text."_s;
    const QUrl address(url.toString(), QUrl::StrictMode);
    if (!address.isValid() || address.isRelative())
        return u"The update information's \"url\" is not a valid address."_s;
    return Manifest{version.toString(), address, notes.isString() ? std::optional(notes.toString()) : std::nullopt};
}

std::variant<QUrl, QString> UpdateChecker::manifestURL(const std::optional<QString>& override)
{
    const QUrl url(override.value_or(QLatin1String(defaultManifestURL)), QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != u"https"_s || url.host().isEmpty())
        return u"The update address \"%1\" is not a valid https address."_s.arg(*override);
    return url;
}

UpdateChecker::UpdateChecker(Parts parts, QObject* parent)
    : QObject(parent)
    , m_parts(std::move(parts))
{
}

UpdateChecker::~UpdateChecker() = default;

void UpdateChecker::start()
{
    using namespace std::chrono_literals;
    UpdateFolder::clearAbandoned(m_parts.cacheFolder); // what an update killed before this launch left
    // The day is counted from the start of the previous check, sleep included.
    m_firstCheck = m_parts.clock.schedule(30s, false, [this] {
        check(false);
        m_dailyCheck = m_parts.clock.schedule(86400s, true, [this] { check(false); });
    });
}

void UpdateChecker::check(bool interactive)
{
    if (m_isChecking)
        return;
    m_isChecking = true;
    m_isInteractive = interactive;
    UpdateFolder::clearAbandoned(m_parts.cacheFolder);
    const QVariant stored = m_parts.settings.value(SettingsKey::updateManifestURL);
    const auto url = manifestURL(stored.isValid() ? std::optional(stored.toString()) : std::nullopt);
    if (const QString* error = std::get_if<QString>(&url)) {
        // Said on a later turn, like every other outcome: check() itself never blocks.
        QMetaObject::invokeMethod(
            this,
            [this, message = *error] {
                if (m_isInteractive)
                    m_parts.alerts.present({u"Could not check for updates"_s, message, {}});
                end();
            },
            Qt::QueuedConnection);
        return;
    }
    m_request = std::make_unique<HttpsRequest>(
        &m_parts.network, std::get<QUrl>(url),
        HttpsRequest::Options{std::chrono::seconds(60), maximumManifestBytes, {}, m_parts.tls});
    connect(m_request.get(), &HttpsRequest::finished, this, &UpdateChecker::onManifest);
    m_request->start();
}

QString UpdateChecker::currentVersion() const
{
    // A copy outside a bundle is the version it was built as.
    return BundleInfo::infoString(u"CFBundleShortVersionString"_s, BundleInfo::executable(m_parts.bundlePath))
        .value_or(QCoreApplication::applicationVersion());
}

std::optional<QString> UpdateChecker::whyNotReplaceable() const
{
    if (m_parts.bundlePath.isEmpty())
        return u"Tavrink does not run from an application bundle, so it cannot replace itself."_s;
    // The package manager owns this copy: the user is told, and it is never replaced from here.
    if (BundleInfo::isPackaged(m_parts.bundlePath))
        return u"Update Tavrink with your package manager."_s;
    return std::nullopt;
}

void UpdateChecker::onManifest()
{
    HttpsRequest* request = m_request.release();
    request->deleteLater(); // it is still emitting finished()
    const auto manifest = request->outcome() == HttpsRequest::Outcome::Succeeded
        ? decodeManifest(request->body())
        : std::variant<Manifest, QString>(request->errorString());
    if (const QString* error = std::get_if<QString>(&manifest)) {
        if (m_isInteractive)
            m_parts.alerts.present({u"Could not check for updates"_s, *error, {}});
        end();
    } else if (isNewer(std::get<Manifest>(manifest).version, currentVersion())) {
        offer(std::get<Manifest>(manifest));
    } else {
        if (m_isInteractive)
            m_parts.alerts.present({u"Tavrink is up to date"_s,
                                    u"Version "_s + currentVersion() + u" is the latest."_s,
                                    {},
                                    Alert::Style::Informational});
        end();
    }
}

void UpdateChecker::offer(const Manifest& manifest)
{
    if (const std::optional<QString> reason = whyNotReplaceable()) {
        if (m_isInteractive)
            m_parts.alerts.present({u"Tavrink %1 is available"_s.arg(manifest.version),
                                    u"Version %1 is available. %2"_s.arg(manifest.version, *reason),
                                    {},
                                    Alert::Style::Informational});
        end();
        return;
    }
    QString text = u"You have "_s + currentVersion() + u'.';
    if (manifest.notes && !manifest.notes->isEmpty())
        text += u"\n\n"_s + *manifest.notes;
    const Alert alert{u"Tavrink "_s + manifest.version + u" is available"_s,
                      text,
                      {u"Install and Relaunch"_s, u"Later"_s},
                      Alert::Style::Informational};
    if (m_parts.alerts.present(alert) != 0) {
        end(); // not remembered: the next check offers it again
        return;
    }
    m_offered = manifest;
    auto attempt = UpdateFolder::begin(m_parts.cacheFolder);
    if (const QString* error = std::get_if<QString>(&attempt)) {
        fail(*error);
        return;
    }
    m_attempt = std::move(std::get<std::unique_ptr<UpdateFolder::Attempt>>(attempt));
    m_request = std::make_unique<HttpsRequest>(
        &m_parts.network, manifest.url,
        HttpsRequest::Options{std::chrono::seconds(60), maximumArchiveBytes, m_attempt->archivePath(), m_parts.tls});
    connect(m_request.get(), &HttpsRequest::finished, this, &UpdateChecker::onDownloaded);
    m_request->start();
}

void UpdateChecker::onDownloaded()
{
    HttpsRequest* request = m_request.release();
    request->deleteLater();
    if (request->outcome() != HttpsRequest::Outcome::Succeeded) {
        fail(request->errorString());
        return;
    }
    // Unpacking and verifying run in the confined helper; the swap, the relaunch and the alerts here.
    const QString staging = BundleInstaller::stagingPath(m_parts.bundlePath);
    m_helper = std::make_unique<UpdateHelper>(UpdateHelper::Request{m_parts.helperPath, m_attempt->archivePath(),
                                                                    m_attempt->workFolder(), staging, m_parts.pinnedKey,
                                                                    m_offered->version, m_parts.helperTimeLimit});
    connect(m_helper.get(), &UpdateHelper::finished, this, [this, staging](const UpdateHelper::Result& result) {
        m_helper.release()->deleteLater(); // it is still emitting finished()
        if (!result.unconfined.isEmpty())
            m_parts.log.error(u"The update helper ran less confined than it should: %1"_s.arg(result.unconfined));
        onStaged(staging, result.failure.value_or(QString()), result.detail);
    });
    m_helper->start();
}

void UpdateChecker::onStaged(const QString& staging, const QString& failure, const QString& detail)
{
    if (!failure.isEmpty()) {
        m_parts.log.error(u"Update %1 refused: %2"_s.arg(m_offered->version, detail));
        BundleInstaller::remove(staging); // what a helper that was stopped half-way staged
        fail(failure);
        return;
    }
    if (const std::optional<QString> error = BundleInstaller::swap(staging, m_parts.bundlePath, m_parts.replacer)) {
        fail(*error);
        return;
    }
    // A failed relaunch leaves the new version for the next start; quitting is still right.
    if (!m_parts.replacer.relaunch(BundleInfo::executable(m_parts.bundlePath)))
        m_parts.log.error(u"The update is installed, but Tavrink could not be started again."_s);
    m_attempt.reset();
    Q_EMIT quitRequested();
}

void UpdateChecker::fail(const QString& message)
{
    m_parts.alerts.present({u"Update failed"_s, message, {}});
    end();
}

void UpdateChecker::end()
{
    m_isChecking = false;
    m_offered.reset();
    m_attempt.reset(); // whatever the outcome, nothing of the attempt stays
    Q_EMIT checkEnded();
}
