#include "app/WatchCommand.h"

#include "app/Snapshot.h"
#include "network/NetworkStatusModel.h"

#include <QTimer>

WatchCommand::WatchCommand(NetworkStatusModel& model, HostnameModel& hostname, std::FILE* output, QObject* parent)
    : QObject(parent)
    , m_model(model)
    , m_hostname(hostname)
    , m_output(output)
{
    connect(&m_model, &NetworkStatusModel::published, this, &WatchCommand::schedulePrint);
    // The model published its first lists while it was being built, before anyone listened.
    schedulePrint();
}

void WatchCommand::schedulePrint()
{
    if (m_isPrintPending)
        return;
    m_isPrintPending = true;
    QTimer::singleShot(0, this, &WatchCommand::print);
}

void WatchCommand::print()
{
    m_isPrintPending = false;
    const QByteArray line = Snapshot::of(m_hostname, m_model).toJson() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), m_output);
    std::fflush(m_output);
}
