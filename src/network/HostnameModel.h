#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

/// The computer's name in its two forms. The full name is the resolver's canonical name for the
/// kernel's host name, from the last resolution made in the background; reading never waits.
class HostnameModel : public QObject {
    Q_OBJECT
public:
    using HostNameSource = std::function<QString()>;
    using CanonicalNameResolver = std::function<QString(const QString& hostName)>;

    explicit HostnameModel(QObject* parent = nullptr);
    HostnameModel(HostNameSource hostName, CanonicalNameResolver resolver, QObject* parent = nullptr);
    ~HostnameModel() override;

    /// The fully qualified name when one was resolved for the current host name, else the host name.
    QString fullName() const;
    /// The full name up to its first dot.
    QString shortName() const;
    /// The name as the user chose to see it: fully qualified, or short.
    QString name(bool isFullyQualified) const { return name(isFullyQualified, fullName()); }
    /// A full name as the user chose to see it.
    static QString name(bool isFullyQualified, const QString& fullName)
    {
        return isFullyQualified ? fullName : shortName(fullName);
    }
    /// Starts resolving the canonical name off the main thread; resolved follows.
    void resolve();

    /// The part of a host name before its first "."; empty when the name is empty or begins with ".".
    static QString shortName(const QString& hostName);
    /// The kernel's host name (gethostname).
    static QString kernelHostName();
    /// The canonical name getaddrinfo gives for a host name; empty when it gives none. Blocks.
    static QString canonicalName(const QString& hostName);

Q_SIGNALS:
    void resolved();

private:
    struct Resolution;

    HostNameSource m_hostName;
    CanonicalNameResolver m_resolver;
    std::shared_ptr<Resolution> m_resolution;
};
