// CommandHost: what the command interpreter needs of the program that owns the instances. The
// program's core (control/program.h) implements it over its instance registry; tests may supply
// their own. Main thread only.
#pragma once

#include <QList>
#include <QString>

#include <string>

class CQZClipwatch;

// Instances with a panel in the window, whether or not a window is shown: only these report a
// status text and load their database when a creation request adds them.
constexpr int kPanelCount = 5;

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

    // Panel steps: a window shows them; without one they change nothing.
    // A set command switched element `code` of instance `k` to `on`, which its panel's check
    // box shows.
    virtual void SetElementCheck(int k, unsigned code, bool on) = 0;
    // A creation request named a database path for the window's database list.
    virtual void AddDatabase(const QString& path) = 0;

    // After a creation request appended instance `k`: when it has a panel, a window attaches
    // it and the instance loads its database.
    virtual void InstanceAdded(int k) = 0;
    // Stops instance `k`, ends its threads, removes its settings group and the instance and
    // renumbers the later ones.
    virtual void RemoveInstance(int k) = 0;
};
