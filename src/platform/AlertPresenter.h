#pragma once

#include <QString>
#include <QStringList>

/// A modal alert: a message, its detail, and the buttons to answer it with.
struct Alert {
    enum class Style { Informational, Warning, Critical };

    QString message;
    QString informativeText;
    /// The first is the default button; none means a single "OK".
    QStringList buttons;
    Style style = Style::Warning;
};

/// Shows alerts in front of everything and waits for the answer.
class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;

    /// Runs the alert modally; the index of the button chosen.
    virtual int present(const Alert& alert) = 0;
};
