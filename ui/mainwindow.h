// MainWindow: the program's only window and the owner of the scanner instances. It creates the
// instances at start, shows the first five in side-by-side panels, runs the button row over the
// selected ones, checks that the service host answers (ping, then the service probe) and owns
// the control connection to the controlling host. Everything here runs on the main thread; the
// instances' threads reach the panel labels only through texts posted to this thread.
#pragma once

#include "ui/instancepanel.h"

#include <QAbstractSocket>
#include <QHostAddress>
#include <QList>
#include <QMainWindow>
#include <QStringList>
#include <QTextCodec>
#include <QTextDecoder>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class CQZClipwatch;
class QComboBox;
class QLabel;
class QProcess;
class QTcpSocket;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    // Builds the widgets, creates one instance per settings group (groups are written for
    // missing numbers) and schedules Connect() in one second.
    explicit MainWindow(QWidget* parent = nullptr);
    // Saves the window size, stops the selected instances that scan, detaches every panel,
    // deletes the widgets and then the instances.
    ~MainWindow() override;

    // Places the button row, the legend and the panels for the window's size and the number of
    // instances; panels without an instance are hidden.
    void Relayout();
    // After an instance was removed: refills the selector and attaches every instance with a
    // panel to the panel of its position.
    void RefreshPanels();
    // Attaches instance `k` (below kPanelCount) to panel k: labels handed over, check boxes set
    // from its settings, the panel's widgets shown.
    void AttachInstance(int k);
    // Withdraws panel k's labels from the instance attached to it and empties the panel.
    void DetachInstance(int k);

    // Runs one control request on this window's instances (ui/connection.cpp); see
    // ExecuteCommand.
    int RunCommand(const char* request, std::optional<std::string>& reply);

    // The instance count of a settings store holding `groups`: at least the number of groups,
    // and more than every number after "Instance".
    static int CountInstances(const QStringList& groups);

    QList<CQZClipwatch*> instances;                // owned; number = position
    std::array<InstancePanel, kPanelCount> panels; // panel k shows instance k
    QComboBox* selector = nullptr;                 // "All", then database paths
    QLabel* serviceStatus = nullptr;               // outcome of the reachability check

    // Control connection.
    QHostAddress controllerAddress;             // controlling host, also the service host
    QString ownAddress;                         // this machine's address, set on connecting
    QString connectionStatus = "Uninitialized"; // reported by getfirstscandir
    uint8_t connectedFlag = 0;                  // 1 while the connection is open
    uint8_t reconnectFlag = 1;                  // disconnected() schedules a new attempt
    QString receiveBuffer;                      // inbound text until frames are complete
    QTextDecoder receiveDecoder{QTextCodec::codecForName("UTF-8")}; // keeps split characters
    QTcpSocket* socket = nullptr;               // child of the window

    // Reachability check. The ping tool and its arguments before the address; tests put a
    // script here. The two timers run CheckIP() and CheckVexoBase(); scheduling one restarts
    // it, so each check is pending at most once.
    QStringList pingCommand = {"ping", "-c", "3", "-W", "1"};
    QTimer checkIPTimer;
    QTimer probeTimer;

public slots:
    // Control connection.
    void connected();
    void disconnected();
    void onReadReady();
    void error(QAbstractSocket::SocketError code);
    // Button row.
    void rescanbuttonpress();
    void stopbuttonpress();
    void startbuttonpress();
    void pausebuttonpress();
    void clearerrorbuttonpress();
    void abortbuttonpress();
    void clearbuttonpress();
    // Reachability check: reads the ping tool's output.
    void readResult();
    // A panel's element check box was clicked (hides QWidget::setEnabled on purpose: the window
    // itself is never disabled).
    void setEnabled(bool benabled);
    // A panel's "Change Directory" or "Change Database" was pressed.
    void buttonpress();
    // Reachability check: ping the host; probe the service.
    void CheckIP();
    void CheckVexoBase();
    // Second start step, one second after construction.
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
    // Sets the connection status text and logs it.
    void SetConnectionStatus(const QString& text);
    // Writes `text` and the frame marker while the connection is open; drops it otherwise.
    void SendText(const QString& text);
    // Acts on a ping's loss figure: opens the connection, or pings again later.
    void HostChecked(int loss);
    // A ping process ended or could not run; one without a loss figure counts as total loss.
    void PingEnded(QProcess* ping);
    // One probe of the service within `timeoutMs`; true when it answered.
    bool ProbeService(uint32_t timeoutMs) const;

    QGroupBox* buttonRow = nullptr; // the row across the top; the instances' start control
    QGroupBox* legend = nullptr;    // the captions at the left
};
