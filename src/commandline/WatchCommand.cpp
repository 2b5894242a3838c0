#include "commandline/WatchCommand.h"

#include "commandline/Snapshot.h"
#include "network/NetworkStatusModel.h"

WatchCommand::WatchCommand(NetworkStatusModel& model, HostnameModel& hostname, std::FILE* output, QObject* parent)
    : QObject(parent)
    , m_model(model)
    , m_hostname(hostname)
    , m_output(output)
    , m_printer([this] { print(); })
{
    connect(&m_model, &NetworkStatusModel::published, &m_printer, &OncePerTurn::request);
    // The model published its first lists while it was being built, before anyone listened.
    m_printer.request();
}

void WatchCommand::print()
{
    const QByteArray line = Snapshot::of(m_hostname, m_model).toJson() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), m_output);
    std::fflush(m_output);
}
