#include "network/PublicAddressChangeWatch.h"

using namespace Qt::StringLiterals;

PublicAddressChangeWatch::PublicAddressChangeWatch(Parts parts, QObject* parent)
    : QObject(parent)
    , m_parts(parts)
{
    connect(&m_parts.model, &NetworkStatusModel::publicAddressFound, this, &PublicAddressChangeWatch::onFound);
    // With the lookups off, no request leaves the machine, a confirmation included.
    connect(&m_parts.model, &NetworkStatusModel::publicLookupEnabledChanged, this, [this] {
        if (!m_parts.model.isPublicLookupEnabled())
            for (Family& family : m_families)
                family.confirmation.reset();
    });
}

PublicAddressChangeWatch::~PublicAddressChangeWatch() = default;

void PublicAddressChangeWatch::setEnabled(bool isEnabled)
{
    if (isEnabled == m_isEnabled)
        return;
    m_isEnabled = isEnabled;
    m_families = {};
}

void PublicAddressChangeWatch::onFound(AddressFamily family, const QString& address, const QUrl& answeredBy)
{
    if (!m_isEnabled)
        return;
    Family& s = state(family);
    // A newer answer decides afresh: a confirmation still under way is for an older one.
    s.confirmation.reset();
    if (!s.baseline) {
        s.baseline = address;
        return;
    }
    if (address == *s.baseline)
        return;
    const PublicIPService* service = m_parts.model.publicIPService(family);
    if (!service)
        return;
    QList<QUrl> others = service->endpoints();
    others.removeAll(answeredBy);
    if (others.isEmpty()) {
        if (!std::exchange(m_hasSaidUnconfirmable, true))
            m_parts.log.error(u"The public address is asked of one service only, so no second one can confirm a "
                              "change; changes are not announced"_s);
        return;
    }
    s.candidate = address;
    s.confirmation = service->fetch(answeredBy);
    connect(s.confirmation.get(), &PublicIPLookup::finished, this, [this, family] { onConfirmed(family); });
}

void PublicAddressChangeWatch::onConfirmed(AddressFamily family)
{
    Family& s = state(family);
    // Still inside the lookup's own signal: it is let go of, not destroyed here.
    PublicIPLookup* lookup = s.confirmation.release();
    lookup->deleteLater();
    if (lookup->address() != s.candidate)
        return;
    const QString old = s.baseline.value_or(QString());
    s.baseline = s.candidate;
    const QString address = s.candidate;
    const QString title = family == AddressFamily::IPv6 ? u"Public IPv6 changed"_s : u"Public IP changed"_s;
    Clipboard& clipboard = m_parts.clipboard;
    m_parts.notifier.notify({title, u"%1 → %2"_s.arg(old, address), {{u"copy"_s, u"Copy"_s}}},
                            [&clipboard, address](const QString& key) {
                                if (key == u"copy"_s)
                                    clipboard.setText(address);
                            });
}
