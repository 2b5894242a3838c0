#pragma once

#include "platform/AlertPresenter.h"

/// Alerts as application-modal QMessageBox dialogs, raised in front of other applications.
class MessageBoxAlertPresenter : public AlertPresenter {
public:
    int present(const Alert& alert) override;
};
