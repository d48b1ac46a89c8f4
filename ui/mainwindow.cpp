// MainWindow's life: construction with the instances, the second start step Connect(), and
// destruction in the order that keeps the instances' threads away from deleted widgets.
#include "ui/mainwindow.h"

#include "app/startup.h"
#include "platform/qzlog.h"
#include "scanner/clipwatch.h"
#include "vexoutil/iputil.h"

#include <QComboBox>
#include <QProcess>
#include <QSettings>
#include <QTcpSocket>

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    socket = new QTcpSocket(this);
    setObjectName("MainWindow");
    setWindowTitle("MainWindow");

    const QString commandIP = vexoCommandIP();
    controllerAddress = commandIP == "0.0.0.0" ? localAddress(QString()) : QHostAddress(commandIP);

    auto* central = new QWidget(this);
    setCentralWidget(central);
    buttonRow = BuildButtonRow(central);
    legend = buildLegend(central);
    for (int k = 0; k < kPanelCount; ++k)
        panels[k] = buildInstancePanel(k, central);

    // Connected once for every panel, so that a panel first attached after Connect() (by a
    // creation request or by Start on an empty window) has working controls too.
    for (InstancePanel& panel : panels) {
        for (QCheckBox* check : panel.checks)
            connect(check, &QCheckBox::clicked, this, &MainWindow::setEnabled);
        connect(panel.changeDirectory, &QPushButton::released, this, &MainWindow::buttonpress);
        connect(panel.changeDatabase, &QPushButton::released, this, &MainWindow::buttonpress);
    }

    checkIPTimer.setSingleShot(true);
    probeTimer.setSingleShot(true);
    connect(&checkIPTimer, &QTimer::timeout, this, &MainWindow::CheckIP);
    connect(&probeTimer, &QTimer::timeout, this, &MainWindow::CheckVexoBase);

    QSettings settings("Velmora", "Clipwatch");
    const QStringList groups = settings.childGroups();
    const int n = CountInstances(groups);
    const std::string serviceHost = controllerAddress.toString().toStdString();
    for (int k = 0; k < n; ++k)
        instances.append(new CQZClipwatch(k, serviceHost));
    CQZClipwatch::instanceCount = n > 0 ? n : 1;
    for (int k = 0; k < n; ++k)
        if (!groups.contains(QString("Instance%1").arg(k)))
            instances[k]->SaveSettings(k);

    QTimer::singleShot(1000, this, &MainWindow::Connect);
}

int MainWindow::CountInstances(const QStringList& groups)
{
    int n = groups.size();
    for (const QString& group : groups) {
        const int number = group.mid(8).toInt();
        if (number >= n)
            n = number + 1;
    }
    return n;
}

void MainWindow::Connect()
{
    show();
    QSettings settings("Velmora", "Clipwatch");
    move(100, 100);
    resize(settings.value("width", 610).toInt(), settings.value("height", 450).toInt());

    for (int k = 0; k < instances.size() && k < kPanelCount; ++k) {
        FillPanel(k);
        AttachInstance(k);
    }

    connect(socket, &QTcpSocket::connected, this, &MainWindow::connected);
    connect(socket, &QTcpSocket::disconnected, this, &MainWindow::disconnected);
    connect(socket, &QTcpSocket::readyRead, this, &MainWindow::onReadReady);
    connect(socket, &QTcpSocket::errorOccurred, this, &MainWindow::error);
    checkIPTimer.start(1000);

    show();
    setWindowTitle("Loading Database");
    for (CQZClipwatch* instance : instances)
        instance->LoadDatabase(this);
    setWindowTitle(clipwatchWindowTitle());
    Relayout();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Relayout();
}

MainWindow::~MainWindow()
{
    ErrOut("\n~MainWindow %s %d", "mainwindow.cpp", __LINE__);
    // Nothing that ends from here on may call back into a window without widgets.
    checkIPTimer.stop();
    probeTimer.stop();
    disconnect(socket, nullptr, this, nullptr);
    const QList<QProcess*> pings = findChildren<QProcess*>();
    for (QProcess* ping : pings) {
        disconnect(ping, nullptr, this, nullptr);
        delete ping;
    }
    QSettings settings("Velmora", "Clipwatch");
    settings.setValue("width", width());
    settings.setValue("height", height());

    stopbuttonpress();
    for (int k = 0; k < kPanelCount; ++k)
        DetachInstance(k);
    delete centralWidget();
    qDeleteAll(instances);
    instances.clear();
}
