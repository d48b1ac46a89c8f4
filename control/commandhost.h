// CommandHost: what the command interpreter needs of the window that owns the instances. The
// main window implements it over its instance list and panels; tests may supply their own.
// Main thread only.
#pragma once

#include "scanner/settingsrecord.h"

#include <QList>
#include <QString>

#include <string>

class CQZClipwatch;

class CommandHost
{
public:
    virtual ~CommandHost() = default;

    // The instances, numbered by their place in the list.
    virtual QList<CQZClipwatch*>& Instances() = 0;
    // The control connection's status text.
    virtual QString ConnectionStatus() const = 0;
    // The service address handed to instances that a creation request adds.
    virtual std::string OwnAddress() const = 0;

    // Panel steps; each does nothing for an instance without a panel. The status text is
    // empty for such an instance.
    virtual QString StatusText(int k) const = 0;
    virtual void ClearStatusText(int k) = 0;
    // Sets the panel check box that shows `setting` (one of the element switches).
    virtual void SetElementCheck(int k, bool CWSSettings::*setting, bool on) = 0;

    // Adds a database path as the last entry of the window's database list.
    virtual void AddDatabase(const QString& path) = 0;
    // After a creation request appended instance `k`: when it has a panel, attaches it,
    // relayouts the window and loads the instance's database.
    virtual void InstanceAdded(int k) = 0;
    // Stops instance `k`, ends its threads, removes its settings group and the instance,
    // renumbers the later ones and refreshes the panels.
    virtual void RemoveInstance(int k) = 0;
};
