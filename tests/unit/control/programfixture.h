// Fixture of the program core's tests: a fresh settings store and log, no service, and the core
// started as the program starts it, alone or under its main window.
#pragma once

#include "control/program.h"
#include "platform/qzhttp.h"
#include "platform/qzlog.h"
#include "scanner/clipwatch.h"
#include "tests/support/testenv.h"
#include "ui/mainwindow.h"
#include "ui/version.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QSettings>
#include <QTest>

#include <map>
#include <memory>
#include <string>

class ProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings("Velmora", "Clipwatch").clear();
        ErrLogSetFileName("programtest");
        qzSetHTTPTransport([](const qzHTTPRequest&) { return std::optional<std::string>(); });
        folder = testenv::makeDir("program");
    }
    void TearDown() override
    {
        window.reset();
        program.reset();
        qzSetHTTPTransport(nullptr);
    }

    static void setKeys(int number, const std::map<QString, QVariant>& values)
    {
        QSettings store("Velmora", "Clipwatch");
        for (const auto& [key, value] : values)
            store.setValue(QString("Instance%1/%2").arg(number).arg(key), value);
    }
    QString databasePath(int number) const { return folder + QString("/clips%1.db").arg(number); }

    // Gives instances 0 .. databases-1 a new SQLite database and an empty scan directory,
    // constructs the core and runs its second start step, alone or under a window (whose
    // Connect() runs it); the first ping is held back.
    void startProgram(int databases = 0, bool withWindow = false)
    {
        for (int k = 0; k < databases; ++k) {
            const QString media = folder + QString("/media%1").arg(k);
            QDir().mkpath(media);
            setKeys(k, {{"DataBase", databasePath(k)}, {"DBType", 1}, {"Dir", media}});
        }
        program = std::make_unique<Program>();
        if (withWindow) {
            window = std::make_unique<MainWindow>(*program);
            ASSERT_TRUE(QTest::qWaitFor(
                [this] { return window->windowTitle() == clipwatchWindowTitle(); }, 5000));
        } else {
            program->Start();
        }
        program->checkIPTimer.stop();
    }
    void startWindow(int databases = 0) { startProgram(databases, true); }

    // Runs `request`; the reply text, or "<none>" when it gave none. `result` holds its result.
    std::string run(const char* request)
    {
        std::optional<std::string> reply;
        result = program->RunCommand(request, reply);
        return reply ? *reply : "<none>";
    }
    std::string run(const std::string& request) { return run(request.c_str()); }

    CWSSettings settings(int k) const { return program->instances[k]->Settings(); }
    static QVariant stored(const QString& key)
    {
        return QSettings("Velmora", "Clipwatch").value(key);
    }
    // Log lines written so far that contain `text`.
    static int logCount(const QString& text) { return testenv::readLog("programtest").count(text); }

    std::unique_ptr<Program> program;
    std::unique_ptr<MainWindow> window;
    QString folder;
    int result = 0;
};
