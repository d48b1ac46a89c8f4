// Test fixture of the program core: a fresh settings store and log per test, service requests
// answered in-process (no service), and the core started the way the program starts it.
#pragma once

#include "control/program.h"

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

class ProgramTest : public ::testing::Test
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
    // Constructs the core and runs its second start step; the first ping is held back.
    void startProgram();
    // Log lines written so far that contain `text`.
    static int logCount(const QString& text);

    std::unique_ptr<Program> program;
    QString folder;
};
