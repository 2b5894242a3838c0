#pragma once

#include "platform/Clipboard.h"

/// The clipboard selection through QClipboard, as plain text.
class QtClipboard : public Clipboard {
public:
    void setText(const QString& text) override;
};
