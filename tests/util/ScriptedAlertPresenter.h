#pragma once

#include "platform/AlertPresenter.h"

#include <QList>

/// Answers alerts as the test scripted, and keeps them.
class ScriptedAlertPresenter : public AlertPresenter {
public:
    QList<Alert> presented;
    QList<int> answers; // taken in order; the default button when empty

    int present(const Alert& alert) override
    {
        presented.append(alert);
        return answers.isEmpty() ? 0 : answers.takeFirst();
    }
};
