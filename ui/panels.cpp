// The instance panels: filling, attaching and detaching instances, the refresh after a removal,
// and the geometry of the button row, the legend and the panels.
#include "ui/mainwindow.h"

#include "platform/qzlog.h"
#include "scanner/clipwatch.h"

#include <QComboBox>

#include <algorithm>

void MainWindow::FillPanel(int k)
{
    const CWSSettings s = instances[k]->Settings();
    InstancePanel& panel = panels[k];
    panel.labels[kDatabaseRow]->setText(QString::fromStdString(s.DataBase));
    if (s.DataBase.empty())
        ErrOut("\nScanner %d has no database!", k);
    else
        selector->addItem(QString::fromStdString(s.DataBase));
    panel.labels[kDirectoryRow]->setText(QString::fromStdString(s.Dir));
    if (s.Dir.empty())
        ErrOut("\nScanner %d has no directory!", k);
}

void MainWindow::AttachInstance(int k)
{
    InstancePanel& panel = panels[k];
    // Texts the window put in the old labels move over; anything an earlier owner still had
    // on its way to them is dropped with them.
    const QString database = panel.labels[kDatabaseRow]->text();
    const QString directory = panel.labels[kDirectoryRow]->text();
    renewPanelLabels(panel, true);
    panel.labels[kDatabaseRow]->setText(database);
    panel.labels[kDirectoryRow]->setText(directory);

    CQZClipwatch::PanelLabels handed;
    for (size_t row = 0; row < panelRows.size(); ++row)
        handed.labels[panelRows[row].label] = panel.labels[row];
    handed.startControl = buttonRow;
    CQZClipwatch* instance = instances[k];
    instance->AttachPanel(handed);

    const CWSSettings s = instance->Settings();
    for (size_t i = 0; i < elementChecks.size(); ++i)
        panel.checks[i]->setChecked(s.*elementChecks[i].setting);
    showPanelControls(panel, true);
    panel.box->show();
}

void MainWindow::DetachInstance(int k)
{
    if (k < instances.size())
        instances[k]->DetachPanel();
    renewPanelLabels(panels[k], false);
    showPanelControls(panels[k], false);
}

void MainWindow::RefreshPanels()
{
    selector->clear();
    selector->addItem("All");
    CQZClipwatch::instanceCount = std::max(1, static_cast<int>(instances.size()));
    for (int k = 0; k < instances.size() && k < kPanelCount; ++k) {
        FillPanel(k);
        AttachInstance(k);
    }
}

void MainWindow::Relayout()
{
    const int w = width();
    const int h = height();
    const int n = static_cast<int>(instances.size());
    int panelWidth = 250;
    if (n != 0 && (w - 110) / n > panelWidth)
        panelWidth = (w - 110) / n;
    const int panelHeight = std::min(h - 70, 375);

    buttonRow->setGeometry(5, 10, w - 10, 50);
    legend->setGeometry(5, 60, 95, panelHeight);
    for (int k = 0; k < kPanelCount; ++k) {
        QGroupBox* box = panels[k].box;
        box->setGeometry(100 + k * panelWidth, 60, panelWidth, panelHeight);
        box->setVisible(k < n);
        box->update();
    }
}
