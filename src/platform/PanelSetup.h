#pragma once

#include <QObject>
#include <QString>

/// What this desktop needs before its panel can show the item, in words for the user, and the
/// one change the program can make itself, if there is one.
class PanelSetup : public QObject {
    Q_OBJECT
public:
    struct Advice {
        /// What to do, for a notification's body.
        QString text;
        /// The button that makes the change; empty when the user has to do it.
        QString changeLabel;
    };

    using QObject::QObject;

    /// Looks at the desktop without waiting for it; advised() follows on a later turn.
    virtual void advise() = 0;
    /// Makes the change the last advice offered; changed() follows, with what went wrong, if anything.
    virtual void change() = 0;

Q_SIGNALS:
    void advised(const PanelSetup::Advice& advice);
    void changed(const QString& error);
};
