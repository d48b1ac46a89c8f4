// Inner part of iputil: the choice of the local address over a plain adapter list, so that
// it can be tested without the machine's real interfaces.
#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

namespace iputil
{

// One network interface as the address choice sees it.
struct Adapter {
    QString description;           // human-readable name, searched for the adapter name
    bool usable = false;           // up, running, able to broadcast and not loopback
    QList<QHostAddress> addresses; // every address of its address entries, in order
};

// The machine's interfaces in the order the system lists them.
QList<Adapter> machineAdapters();

// The address choice of localAddress over `adapters`.
QHostAddress chooseLocalAddress(const QList<Adapter>& adapters, const QString& name);

} // namespace iputil
