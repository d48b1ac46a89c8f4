// Service addressing and text utilities: the separator style of paths that go to the service
// or the database, this machine's address towards the service, and the service's command
// address. Free functions without state; callable from any thread.
#pragma once

#include <QHostAddress>
#include <QString>

// Brings a path into the separator style of its kind, after removing every double quote:
// a UNC path ("\\server\share") gets single backslashes and exactly two at its start, a
// drive-letter path ("C:...") single backslashes, any other text (POSIX, "s3://...") slashes.
QString vexoFixSeperators(QString text);

// True when `address` is the IPv4 loopback address 127.0.0.1 (or reads "localhost").
bool isLocalAddress(const QHostAddress& address);

// The IPv4 address by which this machine is reached: the first one of an interface that is
// up, running, able to broadcast and not loopback; with `name` given, the first such address
// that is the first IPv4 address of an interface whose description (human-readable name)
// contains `name`. 127.0.0.1 when none fits.
QHostAddress localAddress(const QString& name);

// The service's command address: "commandip" of the settings store "Velmora"/"VexoCmd", else
// of "Velmora"/"VexoBase", else "0.0.0.0".
QString vexoCommandIP();
