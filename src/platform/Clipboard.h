#pragma once

#include <QString>

/// The desktop's clipboard.
class Clipboard {
public:
    virtual ~Clipboard() = default;

    /// Replaces the clipboard's contents with plain text.
    virtual void setText(const QString& text) = 0;
};
