// Main window: shown one second after construction, inside the event loop.
#include "ui/mainwindow.h"

#include <QLabel>
#include <QTimer>

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    statusLabel = new QLabel(tr("Clipwatch is starting. Scanner instances are not available in "
                                "this build yet."),
                             this);
    statusLabel->setMargin(16);
    setCentralWidget(statusLabel);
    resize(640, 200);
    QTimer::singleShot(1000, this, [this] { show(); });
}

MainWindow::~MainWindow() = default;
