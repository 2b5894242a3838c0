#pragma once

#include <QString>

/// One address of one interface.
struct InterfaceAddress {
    QString name; // the interface's kernel name, such as wlp2s0
    QString address; // numeric text without zone suffix
    bool isPreferred = true; // false only for IPv6 addresses the kernel marks tentative, DAD-failed or deprecated

    friend bool operator==(const InterfaceAddress&, const InterfaceAddress&) = default;
};
