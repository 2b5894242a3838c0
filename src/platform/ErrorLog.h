#pragma once

#include <QString>

/// The system log for the few failures that are recorded rather than shown.
class ErrorLog {
public:
    virtual ~ErrorLog() = default;

    /// Records one error-level message.
    virtual void error(const QString& message) = 0;
};
