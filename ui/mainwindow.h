// The main window. Runs on the main thread only.
#pragma once

#include <QMainWindow>

class QLabel;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

private:
    QLabel* statusLabel = nullptr; // what the window has to say while it has no panels
};
