#pragma once

#include "menu/OncePerTurn.h"

#include <QObject>

#include <cstdio>

class HostnameModel;
class NetworkStatusModel;

/// Prints the snapshot as one JSON line each time the model publishes; the assignments of one
/// turn of the event loop make one line.
class WatchCommand : public QObject {
    Q_OBJECT
public:
    WatchCommand(NetworkStatusModel& model, HostnameModel& hostname, std::FILE* output, QObject* parent = nullptr);

private:
    void print();

    NetworkStatusModel& m_model;
    HostnameModel& m_hostname;
    std::FILE* m_output;
    OncePerTurn m_printer;
};
