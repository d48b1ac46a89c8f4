// End to end: the program (offscreen) connects out to clipwatchctl, which creates an instance
// for a folder of clips, switches picons on, starts it and reads its status until every clip
// is complete; the simulated service makes the picons. Everything on 127.0.0.1.
#include "control/frame.h"
#include "control/xmlreply.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QThread>

namespace
{

void touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write("media");
}

class EndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings("Velmora", "Clipwatch").clear();
        folder = testenv::makeDir("endtoend");
        start(service, "vexobase",
              {"--simulate", "--job-ms", "200", "--port", "1080", "--bind", "127.0.0.1"});
        ASSERT_TRUE(service.waitForReadyRead(5000));
        ASSERT_TRUE(service.readAllStandardOutput().contains("listening")) << "port 1080 taken";
        start(controller, "clipwatchctl", {"--timeout", "60"});
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(env);
        start(program, "clipwatch", {});
        // clipwatchctl prints the program's greeting once the program has connected.
        ASSERT_TRUE(waitFor(controller, QProcess::StandardError, "Clipwatch Connected @ ", 30000))
            << controller.readAllStandardError().toStdString();
    }

    void TearDown() override
    {
        controller.closeWriteChannel();
        controller.waitForFinished(5000);
        program.terminate();
        program.waitForFinished(10000);
        service.terminate();
        service.waitForFinished(5000);
    }

    static void start(QProcess& process, const QString& name, const QStringList& arguments)
    {
        process.start(testenv::buildDir() + "/" + name, arguments);
        ASSERT_TRUE(process.waitForStarted(5000)) << name.toStdString();
    }

    // Waits until the channel's text so far contains `text`.
    bool waitFor(QProcess& process, QProcess::ProcessChannel channel, const QString& text, int ms)
    {
        QDeadlineTimer deadline(ms);
        process.setReadChannel(channel);
        QString seen;
        while (!deadline.hasExpired()) {
            seen += QString::fromUtf8(process.peek(1 << 20));
            if (seen.contains(text))
                return true;
            seen.clear();
            process.waitForReadyRead(100);
        }
        return false;
    }

    // Sends one request through clipwatchctl; the reply document's values.
    QMap<QString, QString> ask(const QString& request)
    {
        controller.setReadChannel(QProcess::StandardOutput);
        controller.write((request + "\n").toUtf8());
        QString document;
        QDeadlineTimer deadline(30000);
        while (!document.contains("</clipwatch>\n") && !deadline.hasExpired()) {
            controller.waitForReadyRead(100);
            document += QString::fromUtf8(controller.readAllStandardOutput());
        }
        return control::replyValues(document);
    }

    QString folder;
    QProcess service;
    QProcess controller;
    QProcess program;
};

} // namespace

TEST_F(EndToEnd, CreatesStartsAndCompletesAFolder)
{
    const QString media = folder + "/media/";
    for (const char* clip : {"a.mov", "b.mp4", "nested/c.mxf"})
        touch(media + clip);
    const QString database = folder + "/clips.db";

    auto created = ask("newscandir=" + media + "&setdatabasemanagement=1&setdatabase=" + database);
    EXPECT_EQ(created.value("newscandiradded"), media);
    EXPECT_EQ(created.value("return"), "0");
    EXPECT_EQ(ask("scandir=0&setmakepicon=true").value("setmakepicon"), "true");
    EXPECT_EQ(ask("scandir=0&getmakepicon").value("makepicon"), "true");
    EXPECT_EQ(ask("scandir=0&start").value("return"), "0");

    QMap<QString, QString> status;
    QDeadlineTimer deadline(200000);
    do {
        QThread::msleep(500);
        status = ask("scandir=0&getscanstatus");
    } while (status.value("clipsCompleted") != "3" && !deadline.hasExpired());
    ASSERT_EQ(status.value("clipsCompleted"), "3")
        << "last status: " << QStringList(status.keys()).join(",").toStdString() << " "
        << QStringList(status.values()).join(",").toStdString();
    EXPECT_EQ(status.value("totalClips"), "3");
    EXPECT_EQ(status.value("erroredClips"), "0");
    EXPECT_EQ(status.value("totalDirectories"), "2");
    EXPECT_EQ(status.value("directoryErrors"), "0");
    EXPECT_EQ(ask("scandir=0&getclipscompleted").value("getclipscompleted"), "3");
}
