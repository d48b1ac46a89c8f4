// The button row: its widgets, which instances it acts on, and the action of every button.
#include "ui/mainwindow.h"

#include "control/program.h"
#include "platform/qzconfig.h"
#include "scanner/clipwatch.h"

#include <QComboBox>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>

#include <initializer_list>

namespace
{

// One push button of the row and its slot.
struct RowButton {
    const char* text;
    void (MainWindow::*slot)();
};
const RowButton rowButtons[] = {
    {"Rescan", &MainWindow::rescanbuttonpress},
    {"Stop", &MainWindow::stopbuttonpress},
    {"Start", &MainWindow::startbuttonpress},
    {"Pause", &MainWindow::pausebuttonpress},
    {"Clear Errors", &MainWindow::clearerrorbuttonpress},
    {"Abort All", &MainWindow::abortbuttonpress},
    {"Clear Processes", &MainWindow::clearbuttonpress},
};

bool stateIn(const CQZClipwatch* instance, std::initializer_list<int> states)
{
    const int state = instance->state;
    for (int s : states)
        if (s == state)
            return true;
    return false;
}

} // namespace

QGroupBox* MainWindow::BuildButtonRow(QWidget* parent)
{
    auto* row = new QGroupBox(parent);
    // A touch smaller than the panels, so that the whole row fits the default window width.
    QFont font = row->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    row->setFont(font);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(4);
    for (const RowButton& b : rowButtons) {
        auto* button = new QPushButton(b.text, row);
        // As narrow as the text allows.
        button->setMinimumWidth(button->fontMetrics().horizontalAdvance(b.text) + 14);
        button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        connect(button, &QPushButton::released, this, b.slot);
        layout->addWidget(button);
    }
    selector = new QComboBox(row);
    selector->addItem("All");
    selector->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    selector->setMinimumContentsLength(3);
    selector->setToolTip("Database of the instances the buttons act on");
    layout->addWidget(selector, 2);
    auto* status = new ElidedLabel(row);
    status->setMinimumWidth(60);
    serviceStatus = status;
    layout->addWidget(status, 3);
    return row;
}

bool MainWindow::IsSelected(int k) const
{
    if (k >= kPanelCount || k >= program.instances.size() || !panels[k].box->isChecked())
        return false;
    const QString chosen = selector->currentText();
    return chosen.compare("All", Qt::CaseInsensitive) == 0 ||
           chosen.compare(QString::fromStdString(program.instances[k]->Settings().DataBase),
                          Qt::CaseInsensitive) == 0;
}

void MainWindow::ForEachSelected(const std::function<void(CQZClipwatch*)>& action)
{
    for (int k = 0; k < program.instances.size(); ++k)
        if (IsSelected(k))
            action(program.instances[k]);
}

void MainWindow::rescanbuttonpress()
{
    ForEachSelected([](CQZClipwatch* i) { i->SetState(CQZClipwatch::cwsFindDirectories); });
}

void MainWindow::stopbuttonpress()
{
    ForEachSelected([](CQZClipwatch* i) {
        if (stateIn(i, {2, 3, 4}))
            i->SetState(CQZClipwatch::cwsProcessingStopped);
    });
}

void MainWindow::StartInstance(CQZClipwatch* instance)
{
    if (instance->Settings().DataBase.empty())
        ChooseDatabase(instance, QString::fromStdString(qzOSGetConfigDir()));
    if (instance->ScanDirectoryMissing())
        ChooseDirectory(instance, "/home");
    instance->SetState(CQZClipwatch::cwsProcessingResume);
}

void MainWindow::startbuttonpress()
{
    if (program.instances.isEmpty()) {
        program.AddInstance();
        AttachInstance(0);
        Relayout();
        StartInstance(program.instances[0]);
        return;
    }
    ForEachSelected([this](CQZClipwatch* i) {
        if (stateIn(i, {1, 5, 6, 7, 8}))
            StartInstance(i);
    });
}

void MainWindow::pausebuttonpress()
{
    ForEachSelected([](CQZClipwatch* i) { i->SetState(CQZClipwatch::cwsProcessingPaused); });
}

bool MainWindow::ConfirmClearProcesses(const QString& database)
{
    QMessageBox box(this);
    box.setText(QString("This will remove all information in %1.").arg(database));
    box.setInformativeText("Are you sure you want to continue?");
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void MainWindow::clearerrorbuttonpress()
{
    ForEachSelected([](CQZClipwatch* i) { i->RequestClearErrors(); });
}

void MainWindow::abortbuttonpress()
{
    ForEachSelected([](CQZClipwatch* i) { i->RequestAbortProcesses(); });
}

void MainWindow::clearbuttonpress()
{
    ForEachSelected([this](CQZClipwatch* i) {
        if (ConfirmClearProcesses(QString::fromStdString(i->Settings().DataBase)))
            i->RequestClearProcesses();
    });
}
