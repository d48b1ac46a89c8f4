// Main window: its instances, Start's questions, buttons, panels, closing and the elided label.
#include "tests/unit/control/programfixture.h"

#include "tests/support/instancetest.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QToolTip>

#include <functional>

using WindowTest = ProgramTest;

// Hands every modal dialog that is open while `press` runs to `answer`.
static void answerDialogs(const std::function<void(QWidget*)>& answer,
                          const std::function<void()>& press)
{
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        if (QWidget* dialog = QApplication::activeModalWidget())
            answer(dialog);
    });
    answerer.start(20);
    press();
}

TEST_F(WindowTest, GroupsZeroAndTwoGiveThreeInstancesAndTheMissingGroup)
{
    setKeys(0, {{"MakePicons", true}});
    setKeys(2, {{"MakeMD5", true}});
    startWindow();
    ASSERT_EQ(program->instances.size(), 3);
    EXPECT_EQ(QSettings("Velmora", "Clipwatch").childGroups().size(), 3);
    // Attached panels show the settings in their check boxes.
    EXPECT_TRUE(window->panels[0].checks[0]->isChecked());
    EXPECT_TRUE(window->panels[2].checks[6]->isChecked());
    EXPECT_FALSE(window->panels[1].checks[0]->isChecked());
}

TEST_F(WindowTest, EmptyStoreHasNoInstanceUntilStartMakesInstanceZeroAndAsksForItsPlaces)
{
    startWindow();
    EXPECT_TRUE(program->instances.isEmpty());
    EXPECT_FALSE(window->panels[0].box->isVisible());
    const QString media = folder + "/chosen";
    QDir().mkpath(media);
    // Start asks for the database, then the directory: first both refused, then both chosen.
    for (const bool choose : {false, true}) {
        QStringList asked;
        answerDialogs(
            [&](QWidget* dialog) {
                auto* files = qobject_cast<QFileDialog*>(dialog);
                const bool database = files->fileMode() == QFileDialog::AnyFile;
                asked << (database ? "database" : "directory");
                files->findChild<QLineEdit*>("fileNameEdit")
                    ->setText(database ? databasePath(0) : media);
                choose ? static_cast<QDialog*>(files)->accept() : files->reject();
            },
            [this] { window->startbuttonpress(); });
        EXPECT_EQ(asked, QStringList({"database", "directory"}));
        ASSERT_EQ(program->instances.size(), 1);
        if (choose)
            break;
        EXPECT_TRUE(window->panels[0].box->isVisible());
        // Without a database the resume is refused and nothing is saved.
        EXPECT_EQ(program->instances[0]->state, CQZClipwatch::cwsNotRunning);
        EXPECT_TRUE(QSettings("Velmora", "Clipwatch").childGroups().isEmpty());
        // The panel attached after Connect() has working controls.
        window->panels[0].checks[2]->click();
        EXPECT_TRUE(settings(0).MakeProxy);
    }
    EXPECT_EQ(settings(0).DataBase, databasePath(0).toStdString());
    EXPECT_EQ(settings(0).Dir, media.toStdString() + "/");
    EXPECT_NE(program->instances[0]->state, CQZClipwatch::cwsNotRunning);
}

TEST_F(WindowTest, ButtonsPanelsDetachingAndClosingOverThreeInstances)
{
    startWindow(3);
    const std::string anchor = folder.toStdString() + "/media0/clip.mov";
    dbCwsHandle* db = program->instances[0]->Database().get();
    dbCWSAddClip(db, "clip.mov", anchor, folder.toStdString() + "/media0/");
    dbCWSSetElementStatus(db, -1, anchor, CWS_ELEMENT_PICON, nullptr, "/p/clip.jpg", QZ_FINISHED,
                          "");
    window->selector->setCurrentIndex(window->selector->findText(databasePath(0)));
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        QString asked;
        answerDialogs(
            [&](QWidget* dialog) {
                auto* box = qobject_cast<QMessageBox*>(dialog);
                asked = box->text() + box->informativeText();
                EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
                box->button(answer)->click();
            },
            [&] { window->clearbuttonpress(); });
        EXPECT_TRUE(asked.contains(databasePath(0))) << asked.toStdString();
        EXPECT_EQ(elementState(db, anchor, CWS_ELEMENT_PICON),
                  answer == QMessageBox::Yes ? 0 : QZ_FINISHED);
    }

    const auto states = [this] {
        std::vector<int> result;
        for (const CQZClipwatch* instance : program->instances)
            result.push_back(instance->state);
        return result;
    };
    window->selector->setCurrentIndex(window->selector->findText(databasePath(2)));
    window->pausebuttonpress();
    EXPECT_EQ(states(), (std::vector<int>{1, 1, 6}));
    window->selector->setCurrentIndex(0);
    window->panels[1].box->setChecked(false);
    window->pausebuttonpress();
    EXPECT_EQ(states(), (std::vector<int>{6, 1, 6}));
    // Stop acts only on scanning states.
    window->stopbuttonpress();
    EXPECT_EQ(states(), (std::vector<int>{6, 1, 6}));

    CQZClipwatch* instance = program->instances[0];
    QCheckBox* picon = window->panels[0].checks[0];
    ASSERT_FALSE(picon->isChecked());
    // A check box already in the instance's state only reloads.
    instance->UpdateSettings([](CWSSettings& s) { s.MakePicons = true; });
    const int loads = logCount("Database verified");
    picon->click();
    EXPECT_TRUE(instance->Settings().MakePicons);
    EXPECT_FALSE(instance->resetCompletionRequested);
    EXPECT_EQ(logCount("Database verified"), loads + 1);
    window->panels[0].checks[6]->click();
    EXPECT_TRUE(instance->Settings().MakeMD5);
    EXPECT_TRUE(instance->resetCompletionRequested);
    EXPECT_EQ(logCount("Database verified"), loads + 2);

    // Texts queued before the detach, or written after it, never arrive.
    CQZClipwatch* detached = program->instances[1];
    QCoreApplication::processEvents();
    EXPECT_EQ(window->panels[1].labels[2]->text(), "Idle");
    detached->LoadDatabase();
    window->DetachInstance(1);
    for (int pass = 0; pass < 2; ++pass) {
        QCoreApplication::processEvents();
        for (const QLabel* label : window->panels[1].labels)
            EXPECT_TRUE(label->text().isEmpty());
        detached->LoadDatabase();
    }
    EXPECT_FALSE(window->panels[1].checks[0]->isVisible());
    window->AttachInstance(1);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->panels[1].labels[2]->text(), "Idle");

    // Closing saves the size and stops the selected scanning instances: only instance 0 is both.
    for (int k = 0; k < 3; ++k)
        program->instances[k]->SaveAutoStart(k, true);
    window->resize(700, 480);
    instance->state = CQZClipwatch::cwsFindClips;
    window->panels[2].box->setChecked(false);
    program->instances[2]->state = CQZClipwatch::cwsProcessingClips;
    window.reset();
    EXPECT_EQ(stored("width").toInt(), 700);
    EXPECT_EQ(stored("height").toInt(), 480);
    EXPECT_FALSE(stored("Instance0/AutoStart").toBool());
    EXPECT_TRUE(stored("Instance1/AutoStart").toBool());
    EXPECT_TRUE(stored("Instance2/AutoStart").toBool());
}

TEST(ElidedLabel, LongTextElidesInTheMiddleWithTheWholeTextInTheTooltip)
{
    ElidedLabel label;
    const QString path = "/media/storage/projects/a-long-client-name/day-04/card-A/clip0001.mov";
    label.setText(path);
    label.resize(120, 20);
    const QString shown = label.shownText();
    EXPECT_TRUE(shown.startsWith("/me") && shown.endsWith(".mov") && shown.size() < path.size())
        << shown.toStdString();
    EXPECT_LT(label.minimumSizeHint().width(), 120);

    label.show();
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), label.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&label, &help);
    EXPECT_EQ(QToolTip::text(), path);
}
