// Building the instance panels and the legend column, and renewing a panel's labels.
#include "ui/instancepanel.h"

#include <QGridLayout>
#include <QLabel>

namespace
{

// Height of one caption row, the same in the legend and the panels so that rows line up.
constexpr int kRowHeight = 20;

// A group box whose rows begin at the same height whether or not it is checkable.
QVBoxLayout* columnLayout(QGroupBox* box)
{
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(2);
    return layout;
}

ElidedLabel* rowLabel(QWidget* parent)
{
    auto* label = new ElidedLabel(parent);
    label->setFixedHeight(kRowHeight);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

} // namespace

InstancePanel buildInstancePanel(int number, QWidget* parent)
{
    InstancePanel panel;
    panel.box = new QGroupBox(QString("Scanner %1").arg(number), parent);
    panel.box->setCheckable(true);
    panel.box->setChecked(true);
    QVBoxLayout* layout = columnLayout(panel.box);

    panel.rows = new QVBoxLayout;
    panel.rows->setSpacing(layout->spacing());
    for (ElidedLabel*& label : panel.labels) {
        label = rowLabel(panel.box);
        label->hide();
        panel.rows->addWidget(label);
    }
    layout->addLayout(panel.rows);
    layout->addSpacing(6);

    auto* checkGrid = new QGridLayout;
    checkGrid->setSpacing(2);
    for (const dbCwsElement* e : elementChecks()) {
        const int i = static_cast<int>(panel.checks.size());
        panel.checks.push_back(new QCheckBox(e->checkText, panel.box));
        checkGrid->addWidget(panel.checks.back(), i / 2, i % 2);
    }
    layout->addLayout(checkGrid);
    layout->addStretch(1);

    panel.changeDirectory = new QPushButton("Change Directory", panel.box);
    panel.changeDatabase = new QPushButton("Change Database", panel.box);
    layout->addWidget(panel.changeDirectory);
    layout->addWidget(panel.changeDatabase);
    showPanelControls(panel, false);
    return panel;
}

const std::vector<const dbCwsElement*>& elementChecks()
{
    static const std::vector<const dbCwsElement*> checks =
        dbCwsElementsBy(&dbCwsElement::checkPlace);
    return checks;
}

QGroupBox* buildLegend(QWidget* parent)
{
    // Titled like a panel so that its first row sits level with theirs.
    auto* box = new QGroupBox(" ", parent);
    QVBoxLayout* layout = columnLayout(box);
    for (const PanelRow& row : panelRows) {
        QLabel* caption = rowLabel(box);
        caption->setText(row.caption);
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        layout->addWidget(caption);
    }
    layout->addStretch(1);
    return box;
}

void renewPanelLabels(InstancePanel& panel, bool visible)
{
    for (ElidedLabel*& label : panel.labels) {
        ElidedLabel* fresh = rowLabel(panel.box);
        fresh->setVisible(visible);
        delete panel.rows->replaceWidget(label, fresh);
        delete label;
        label = fresh;
    }
}

void showPanelControls(InstancePanel& panel, bool visible)
{
    for (QCheckBox* check : panel.checks)
        check->setVisible(visible);
    panel.changeDirectory->setVisible(visible);
    panel.changeDatabase->setVisible(visible);
}
