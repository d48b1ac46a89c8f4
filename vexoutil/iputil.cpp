// Service addressing and text utilities. QNetworkInterface stands in for the Windows adapter
// list: its human-readable name is the description, its first IPv4 address the adapter's
// first address.
#include "vexoutil/iputil.h"

#include "vexoutil/iputil_p.h"

#include <QDebug>
#include <QNetworkInterface>
#include <QSettings>

namespace iputil
{

QList<Adapter> machineAdapters()
{
    const auto wanted =
        QNetworkInterface::IsUp | QNetworkInterface::IsRunning | QNetworkInterface::CanBroadcast;
    QList<Adapter> adapters;
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces()) {
        Adapter adapter;
        adapter.description = iface.humanReadableName();
        adapter.usable =
            (iface.flags() & wanted) == wanted && !(iface.flags() & QNetworkInterface::IsLoopBack);
        for (const QNetworkAddressEntry& entry : iface.addressEntries())
            adapter.addresses.append(entry.ip());
        adapters.append(adapter);
    }
    return adapters;
}

namespace
{

QString firstIPv4(const Adapter& adapter)
{
    for (const QHostAddress& address : adapter.addresses)
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            return address.toString();
    return QString();
}

bool namedAdapterHas(const QList<Adapter>& adapters, const QString& name,
                     const QHostAddress& candidate)
{
    const QString text = candidate.toString();
    for (const Adapter& adapter : adapters)
        if (text.compare(firstIPv4(adapter), Qt::CaseInsensitive) == 0 &&
            adapter.description.contains(name))
            return true;
    return false;
}

} // namespace

QHostAddress chooseLocalAddress(const QList<Adapter>& adapters, const QString& name)
{
    for (const Adapter& adapter : adapters) {
        if (!adapter.usable)
            continue;
        for (const QHostAddress& candidate : adapter.addresses) {
            if (candidate.protocol() != QAbstractSocket::IPv4Protocol || isLocalAddress(candidate))
                continue;
            if (name.isEmpty() || namedAdapterHas(adapters, name, candidate)) {
                qDebug() << "localAddress is" << candidate << __FILE__ << __LINE__;
                return candidate;
            }
        }
    }
    return QHostAddress(QHostAddress::LocalHost);
}

} // namespace iputil

QString vexoFixSeperators(QString text)
{
    const QString pair = QStringLiteral("\\\\");
    text.remove('"');
    if (text.startsWith(pair)) {
        if (text.startsWith(pair + pair))
            text.replace(pair, QStringLiteral("\\"));
        text.replace('/', '\\');
        if (text.contains(pair)) {
            text.replace(pair, QStringLiteral("\\"));
            if (text.size() < 2 || text[1] != '\\')
                text.prepend('\\');
        }
    } else if (text.startsWith('/') || text.size() < 2 || text[1] != ':') {
        text.replace('\\', '/');
    } else {
        text.replace('/', '\\');
        text.replace(pair, QStringLiteral("\\"));
    }
    return text;
}

bool isLocalAddress(const QHostAddress& address)
{
    return address.toIPv4Address() == QHostAddress(QHostAddress::LocalHost).toIPv4Address() ||
           address.toString() == QLatin1String("localhost");
}

QHostAddress localAddress(const QString& name)
{
    return iputil::chooseLocalAddress(iputil::machineAdapters(), name);
}

QString vexoCommandIP()
{
    for (const char* application : {"VexoCmd", "VexoBase"}) {
        QSettings store("Velmora", application);
        if (store.contains("commandip"))
            return store.value("commandip").toString();
    }
    return QStringLiteral("0.0.0.0");
}
