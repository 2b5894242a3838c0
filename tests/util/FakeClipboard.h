#pragma once

#include "platform/Clipboard.h"

#include <QStringList>

/// Keeps what is put on it.
class FakeClipboard : public Clipboard {
public:
    QStringList texts;
    void setText(const QString& text) override { texts.append(text); }
};
