// MainWindow: the program's window over its core (control/program.h). It shows the first five
// instances in side-by-side panels, runs the button row over the selected ones and shows the
// outcome of the reachability check; it follows the core's signals (instances added and
// removed, panel steps of commands) and each attached instance's panel listener. Everything
// here runs on the main thread; the instances' threads reach the panel labels only through
// texts posted to this thread.
#pragma once

#include "ui/instancepanel.h"

#include <QMainWindow>

#include <array>
#include <functional>

class CQZClipwatch;
class Program;
class QComboBox;
class QLabel;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    // Builds the widgets over `program`, which outlives the window, follows its signals and
    // schedules Connect() in one second.
    explicit MainWindow(Program& program, QWidget* parent = nullptr);
    // Saves the window size, stops the selected instances that scan, detaches every panel and
    // deletes the widgets.
    ~MainWindow() override;

    // Places the button row, the legend and the panels for the window's size and the number of
    // instances; panels without an instance are hidden.
    void Relayout();
    // After an instance was removed: refills the selector and attaches every instance with a
    // panel to the panel of its position.
    void RefreshPanels();
    // Attaches instance `k` (below kPanelCount) to panel k: its listener writes the panel's
    // labels, check boxes set from its settings, the panel's widgets shown.
    void AttachInstance(int k);
    // Withdraws panel k's listener from the instance attached to it and empties the panel.
    void DetachInstance(int k);

    Program& program;                              // the core: instances and connection
    std::array<InstancePanel, kPanelCount> panels; // panel k shows instance k
    QComboBox* selector = nullptr;                 // "All", then database paths
    QLabel* serviceStatus = nullptr;               // outcome of the reachability check

public slots:
    // Button row.
    void rescanbuttonpress();
    void stopbuttonpress();
    void startbuttonpress();
    void pausebuttonpress();
    void clearerrorbuttonpress();
    void abortbuttonpress();
    void clearbuttonpress();
    // A panel's element check box was clicked (hides QWidget::setEnabled on purpose: the window
    // itself is never disabled).
    void setEnabled(bool benabled);
    // A panel's "Change Directory" or "Change Database" was pressed.
    void buttonpress();
    // Second start step, one second after construction: shows the window and its panels and
    // runs the core's second start step.
    void Connect();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Builds the button row (buttons, selector, service status).
    QGroupBox* BuildButtonRow(QWidget* parent);
    // Panel of the check box or button that sent the current signal; -1 when none.
    int PanelOfSender() const;
    // True when instance `k` has a panel that is checked and matches the selector.
    bool IsSelected(int k) const;
    // Runs `action` on every selected instance, in order.
    void ForEachSelected(const std::function<void(CQZClipwatch*)>& action);
    // Puts instance k's database path and scan directory into its panel (logging the ones it
    // lacks) and its database path into the selector.
    void FillPanel(int k);
    // Asks before Clear Processes wipes `database`; true on Yes.
    bool ConfirmClearProcesses(const QString& database);
    // Start on one instance: asks for a missing database path and scan directory first, then
    // resumes it.
    void StartInstance(CQZClipwatch* instance);
    // Ask for a database path or a scan directory, opening at `from`, and set the one chosen.
    void ChooseDatabase(CQZClipwatch* instance, const QString& from);
    void ChooseDirectory(CQZClipwatch* instance, const QString& from);
    // The core's signals.
    void InstanceAdded(int k);
    void InstanceRemoved();
    void ShowElementSwitch(int k, unsigned code, bool on);

    QGroupBox* buttonRow = nullptr; // the row across the top; disabled when instance 0's
                                    // database can be neither opened nor created
    QGroupBox* legend = nullptr;    // the captions at the left
};
