// The widgets of one instance panel and of the legend column beside the panels, with the two
// tables they are built from: the caption rows (and the instance label each row shows) and the
// element check boxes (and the setting each one shows). Main thread only.
#pragma once

#include "control/commandhost.h"
#include "scanner/clipwatch.h"
#include "scanner/elementsettings.h"
#include "ui/elidedlabel.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <array>
#include <vector>

// One caption row of the legend and the panels.
struct PanelRow {
    const char* caption;       // legend text
    CQZClipwatch::Label label; // the instance text shown in the row
};
constexpr std::array<PanelRow, 8> panelRows = {{
    {"Database", CQZClipwatch::DatabaseLabel},
    {"Directory", CQZClipwatch::DirectoryLabel},
    {"Status", CQZClipwatch::StateLabel},
    {"Directories", CQZClipwatch::DirectoryCountsLabel},
    {"Files", CQZClipwatch::ClipCountLabel},
    {"Clips", CQZClipwatch::CompletionLabel},
    {"Processing", CQZClipwatch::ProcessingLabel},
    {"Time left", CQZClipwatch::TimeLeftLabel},
}};
// Rows of the database path and the scan directory, which the window fills itself.
constexpr int kDatabaseRow = 0;
constexpr int kDirectoryRow = 1;

// The elements with a check box in each panel, in the panel's order.
const std::vector<const dbCwsElement*>& elementChecks();

// The widgets of panel k; all are children of `box`.
struct InstancePanel {
    QGroupBox* box = nullptr;                            // "Scanner k", checkable
    QVBoxLayout* rows = nullptr;                         // holds the labels, by row
    std::array<ElidedLabel*, panelRows.size()> labels{}; // by row of panelRows
    std::vector<QCheckBox*> checks;                      // by elementChecks()
    QPushButton* changeDirectory = nullptr;              // "Change Directory"
    QPushButton* changeDatabase = nullptr;               // "Change Database"
};

// Builds panel `number` in `parent`, checked, with every widget inside hidden.
InstancePanel buildInstancePanel(int number, QWidget* parent);

// Builds the legend column in `parent`, its captions level with the panels' rows.
QGroupBox* buildLegend(QWidget* parent);

// Puts new, empty labels in place of the panel's labels and deletes the old ones, so that a
// text still on its way to an old label (queued by an instance before it was detached) finds
// nothing. The new labels are shown when `visible`.
void renewPanelLabels(InstancePanel& panel, bool visible);

// Shows or hides the check boxes and the two buttons.
void showPanelControls(InstancePanel& panel, bool visible);
