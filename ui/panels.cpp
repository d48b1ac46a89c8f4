// The instance panels: filling, attaching and detaching instances, following the core's added
// and removed instances, and the geometry of the button row, the legend and the panels.
#include "ui/mainwindow.h"

#include "control/program.h"
#include "platform/qzlog.h"
#include "scanner/clipwatch.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QPointer>

#include <algorithm>

namespace
{

// Runs `step` on the main thread, later, when `widget` still exists then.
template <typename Widget, typename Step> void postTo(const QPointer<Widget>& widget, Step step)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [widget, step] {
            if (widget)
                step(widget.data());
        },
        Qt::QueuedConnection);
}

} // namespace

void MainWindow::FillPanel(int k)
{
    const CWSSettings s = program.instances[k]->Settings();
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

    // The listener runs on the instance's threads: it only posts to the main thread, where a
    // label deleted meanwhile is skipped.
    std::array<QPointer<QLabel>, CQZClipwatch::LabelCount> labels;
    for (size_t row = 0; row < panelRows.size(); ++row)
        labels[panelRows[row].label] = panel.labels[row];
    CQZClipwatch::PanelListener listener;
    listener.textChanged = [labels](CQZClipwatch::Label label, const QString& text) {
        postTo(labels[label], [text](QLabel* target) { target->setText(text); });
    };
    if (k == 0)
        listener.databaseFailed = [start = QPointer<QGroupBox>(buttonRow)] {
            postTo(start, [](QGroupBox* row) { row->setEnabled(false); });
        };
    CQZClipwatch* instance = program.instances[k];
    instance->AttachPanel(listener);

    const CWSSettings s = instance->Settings();
    for (size_t i = 0; i < panel.checks.size(); ++i)
        panel.checks[i]->setChecked(cwsMakes(s, *elementChecks()[i]));
    showPanelControls(panel, true);
    panel.box->show();
}

void MainWindow::DetachInstance(int k)
{
    if (k < program.instances.size())
        program.instances[k]->DetachPanel();
    renewPanelLabels(panels[k], false);
    showPanelControls(panels[k], false);
}

void MainWindow::RefreshPanels()
{
    selector->clear();
    selector->addItem("All");
    for (int k = 0; k < program.instances.size() && k < kPanelCount; ++k) {
        FillPanel(k);
        AttachInstance(k);
    }
}

void MainWindow::InstanceAdded(int k)
{
    const CWSSettings s = program.instances[k]->Settings();
    panels[k].labels[kDatabaseRow]->setText(QString::fromStdString(s.DataBase));
    panels[k].labels[kDirectoryRow]->setText(QString::fromStdString(s.Dir));
    AttachInstance(k);
    Relayout();
}

// Every panel is emptied, so that a text the removed instance or a renumbered one still had on
// its way lands nowhere, and then filled again from the instances' new places.
void MainWindow::InstanceRemoved()
{
    for (int p = 0; p < kPanelCount; ++p)
        DetachInstance(p);
    RefreshPanels();
    Relayout();
}

void MainWindow::Relayout()
{
    const int w = width();
    const int h = height();
    const int n = static_cast<int>(program.instances.size());
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
