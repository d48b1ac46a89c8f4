// A panel's own controls: the element check boxes (clicked, or moved by a set command) and the
// directory and database choosers, which Start also opens for what an instance lacks.
#include "ui/mainwindow.h"

#include "control/program.h"
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
    if (k < 0 || k >= program.instances.size())
        return;
    CQZClipwatch* instance = program.instances[k];
    for (size_t i = 0; i < panels[k].checks.size(); ++i) {
        if (sender() != panels[k].checks[i])
            continue;
        const dbCwsElement& e = *elementChecks()[i];
        if (cwsMakes(instance->Settings(), e) != benabled) {
            instance->UpdateSettings([&](CWSSettings& s) { cwsSetMakes(&s, e, benabled); });
            instance->resetCompletionRequested = true;
        }
        instance->LoadDatabase();
        return;
    }
}

void MainWindow::ShowElementSwitch(int k, unsigned code, bool on)
{
    if (k >= kPanelCount || k >= program.instances.size())
        return;
    for (size_t i = 0; i < panels[k].checks.size(); ++i)
        if (elementChecks()[i]->code == code)
            panels[k].checks[i]->setChecked(on);
}

void MainWindow::ChooseDirectory(CQZClipwatch* instance, const QString& from)
{
    const QString chosen = QFileDialog::getExistingDirectory(this, "Choose Directory To Scan", from,
                                                             QFileDialog::ShowDirsOnly);
    if (!chosen.isEmpty())
        instance->SetScanDirectory(QDir::toNativeSeparators(chosen).toStdString());
}

void MainWindow::ChooseDatabase(CQZClipwatch* instance, const QString& from)
{
    const QString chosen =
        QFileDialog::getSaveFileName(this, "Save Database", from, "Database (*.db)");
    if (!chosen.isEmpty())
        instance->SetDatabasePath(QDir::toNativeSeparators(chosen).toStdString());
}

void MainWindow::buttonpress()
{
    const int k = PanelOfSender();
    if (k < 0 || k >= program.instances.size())
        return;
    CQZClipwatch* instance = program.instances[k];
    InstancePanel& panel = panels[k];
    const CWSSettings s = instance->Settings();
    if (sender() == panel.changeDirectory) {
        ChooseDirectory(instance, QString::fromStdString(s.Dir));
        panel.changeDirectory->setChecked(false);
    } else {
        ChooseDatabase(instance, QString::fromStdString(s.DataBase));
        panel.changeDatabase->setChecked(false);
    }
    instance->LoadDatabase();
}
