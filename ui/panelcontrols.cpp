// A panel's own controls: the element check boxes and the directory and database choosers.
#include "ui/mainwindow.h"

#include "scanner/clipwatch.h"

#include <QDir>
#include <QFileDialog>

int MainWindow::PanelOfSender() const
{
    const QObject* from = sender();
    for (int k = 0; k < kPanelCount; ++k) {
        const InstancePanel& panel = panels[k];
        if (from == panel.changeDirectory || from == panel.changeDatabase)
            return k;
        for (const QCheckBox* check : panel.checks)
            if (from == check)
                return k;
    }
    return -1;
}

void MainWindow::setEnabled(bool benabled)
{
    const int k = PanelOfSender();
    if (k < 0 || k >= instances.size())
        return;
    CQZClipwatch* instance = instances[k];
    for (size_t i = 0; i < elementChecks.size(); ++i) {
        if (sender() != panels[k].checks[i])
            continue;
        bool CWSSettings::*setting = elementChecks[i].setting;
        if (instance->Settings().*setting != benabled) {
            instance->UpdateSettings([&](CWSSettings& s) { s.*setting = benabled; });
            instance->resetCompletionRequested = true;
        }
        instance->LoadDatabase(this);
        return;
    }
}

void MainWindow::buttonpress()
{
    const int k = PanelOfSender();
    if (k < 0 || k >= instances.size())
        return;
    CQZClipwatch* instance = instances[k];
    InstancePanel& panel = panels[k];
    const CWSSettings s = instance->Settings();
    if (sender() == panel.changeDirectory) {
        const QString chosen = QFileDialog::getExistingDirectory(this, "Choose Directory To Scan",
                                                                 QString::fromStdString(s.Dir),
                                                                 QFileDialog::ShowDirsOnly);
        if (!chosen.isEmpty())
            instance->SetScanDirectory(QDir::toNativeSeparators(chosen).toStdString());
        panel.changeDirectory->setChecked(false);
    } else {
        const QString chosen = QFileDialog::getSaveFileName(
            this, "Save Database", QString::fromStdString(s.DataBase), "Database (*.db)");
        if (!chosen.isEmpty())
            instance->SetDatabasePath(QDir::toNativeSeparators(chosen).toStdString());
        panel.changeDatabase->setChecked(false);
    }
    instance->LoadDatabase(this);
}
