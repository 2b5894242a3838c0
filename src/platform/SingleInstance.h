#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

/// One Tavrink per desktop session. The first process takes the session's name for Tavrink and
/// hears later launches: a plain launch asks it to reopen, a launch with addresses asks it to
/// open them. A later launch hands its request over and ends.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        /// This process is the one instance; requests arrive as signals.
        First,
        /// Another instance runs and took the request.
        Forwarded,
        /// Another instance holds the name but did not take the request; error says why.
        Refused,
        /// There is no session to claim in: this process runs on its own, unannounced.
        Alone,
    };

    using QObject::QObject;
    ~SingleInstance() override = default;

    /// Takes the name, or hands the request (these addresses, or a reopen when there are none)
    /// to the process that holds it.
    virtual Claim claim(const QStringList& urls, QString* error) = 0;
    /// Gives the name up, so that a process started now becomes the one instance.
    virtual void release() = 0;
    /// From now on requests arrive as signals; those that came since the claim (the one that
    /// started this process by its name, say) arrive now, in order.
    virtual void listen() = 0;

Q_SIGNALS:
    void reopenRequested();
    void openRequested(const QStringList& urls);
};
