// Test fixture of the main window tests: a fresh settings store and log per test, service
// requests answered in-process (no service), and a window started the way the program starts
// it (Connect() one second after construction).
#pragma once

#include "ui/mainwindow.h"

#include <gtest/gtest.h>

#include <QVariant>

#include <map>
#include <memory>
#include <ostream>

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes keys of the settings group "Instance<number>".
    static void setKeys(int number, const std::map<QString, QVariant>& values);
    // Gives instance `number` a new SQLite database and an empty scan directory.
    void setDatabase(int number);
    // The database path setDatabase gave instance `number`.
    QString databasePath(int number) const;
    // Constructs the window and waits until Connect() has run; the first ping is held back.
    void startWindow();
    // Log lines written so far that contain `text`.
    static int logCount(const QString& text);

    std::unique_ptr<MainWindow> window;
    QString folder;
};
