// MainWindow's life: construction over the core, the second start step Connect(), and
// destruction in the order that keeps the instances' threads away from deleted widgets.
#include "ui/mainwindow.h"

#include "control/program.h"
#include "platform/qzlog.h"
#include "scanner/clipwatch.h"
#include "ui/version.h"

#include <QComboBox>
#include <QLabel>
#include <QSettings>
#include <QTimer>

MainWindow::MainWindow(Program& core, QWidget* parent) : QMainWindow(parent), program(core)
{
    setObjectName("MainWindow");
    setWindowTitle("MainWindow");

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

    connect(&program, &Program::instanceAdded, this, &MainWindow::InstanceAdded);
    connect(&program, &Program::instanceRemoved, this, &MainWindow::InstanceRemoved);
    connect(&program, &Program::elementSwitched, this, &MainWindow::ShowElementSwitch);
    connect(&program, &Program::databaseAdded, selector,
            [this](const QString& path) { selector->addItem(path); });
    connect(&program, &Program::serviceStatusChanged, serviceStatus, &QLabel::setText);

    QTimer::singleShot(1000, this, &MainWindow::Connect);
}

void MainWindow::Connect()
{
    show();
    QSettings settings("Velmora", "Clipwatch");
    move(100, 100);
    resize(settings.value("width", 610).toInt(), settings.value("height", 450).toInt());

    for (int k = 0; k < program.instances.size() && k < kPanelCount; ++k) {
        FillPanel(k);
        AttachInstance(k);
    }

    setWindowTitle("Loading Database");
    program.Start();
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
    // The log line keeps the source place it has always named.
    ErrOut("\n~MainWindow %s %d", "mainwindow.cpp", 104);
    QSettings settings("Velmora", "Clipwatch");
    settings.setValue("width", width());
    settings.setValue("height", height());

    stopbuttonpress();
    for (int k = 0; k < kPanelCount; ++k)
        DetachInstance(k);
    delete centralWidget();
}
