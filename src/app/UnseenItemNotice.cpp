#include "app/UnseenItemNotice.h"

using namespace Qt::StringLiterals;

UnseenItemNotice::UnseenItemNotice(Parts parts, QObject* parent)
    : QObject(parent)
    , m_parts(std::move(parts))
{
    connect(&m_parts.item, &StatusItem::seenChanged, this, [this] {
        if (!m_parts.item.isSeen() && !std::exchange(m_hasSpoken, true))
            m_parts.setup.advise();
    });
    connect(&m_parts.setup, &PanelSetup::advised, this, &UnseenItemNotice::onAdvised);
    connect(&m_parts.setup, &PanelSetup::changed, this, &UnseenItemNotice::onChanged);
}

void UnseenItemNotice::onAdvised(const PanelSetup::Advice& advice)
{
    const QString title = QString::fromLatin1(summary);
    QList<Notice::Action> actions;
    if (!advice.changeLabel.isEmpty())
        actions.append({u"change"_s, advice.changeLabel});
    m_parts.notifier.notify(
        {title, advice.text, actions},
        [this](const QString& key) {
            if (key == u"change"_s)
                m_parts.setup.change();
        },
        [this, line = title + u". "_s + advice.text] {
            m_parts.printError(u"tavrink: "_s + line + u'\n');
            m_parts.log.error(line);
        });
}

void UnseenItemNotice::onChanged(const QString& error)
{
    // A plain message with no button: a change that failed is never offered again.
    if (!error.isEmpty())
        m_parts.notifier.notify({u"Tavrink could not change the panel"_s, error, {}});
}
