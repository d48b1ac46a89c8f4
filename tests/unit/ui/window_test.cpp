// Main window: instances from the settings groups, Start on an empty window and its questions,
// the panel geometry, which instances the button row acts on, the panel check boxes, and the
// labels an instance may still reach after it was detached, and the elided label.
#include "tests/unit/ui/windowfixture.h"

#include "db/clips.h"
#include "db/elements.h"
#include "scanner/clipwatch.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <functional>

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

TEST_F(WindowTest, GroupsZeroAndFourGiveFiveInstancesAndTheMissingGroups)
{
    setKeys(0, {{"MakePicons", true}});
    setKeys(4, {{"MakeMD5", true}});
    startWindow();
    ASSERT_EQ(program->instances.size(), 5);
    EXPECT_EQ(CQZClipwatch::instanceCount, 5);
    EXPECT_TRUE(program->instances[0]->Settings().MakePicons);
    EXPECT_TRUE(program->instances[4]->Settings().MakeMD5);
    const QStringList groups = QSettings("Velmora", "Clipwatch").childGroups();
    for (int k = 0; k < 5; ++k)
        EXPECT_TRUE(groups.contains(QString("Instance%1").arg(k))) << k;
    // Attached panels show the settings in their check boxes.
    EXPECT_TRUE(window->panels[0].checks[0]->isChecked());
    EXPECT_TRUE(window->panels[4].checks[6]->isChecked());
    EXPECT_FALSE(window->panels[1].checks[0]->isChecked());
    EXPECT_EQ(logCount("Scanner 2 has no database!"), 1);
}

TEST_F(WindowTest, EmptyStoreHasNoInstanceUntilStartMakesInstanceZeroAndAsksForItsPlaces)
{
    startWindow();
    EXPECT_TRUE(program->instances.isEmpty());
    EXPECT_FALSE(window->panels[0].box->isVisible());
    QStringList asked;
    answerDialogs(
        [&asked](QWidget* dialog) {
            asked << dialog->windowTitle();
            qobject_cast<QFileDialog*>(dialog)->reject();
        },
        [this] { window->startbuttonpress(); });
    EXPECT_EQ(asked, QStringList({"Save Database", "Choose Directory To Scan"}));
    ASSERT_EQ(program->instances.size(), 1);
    CQZClipwatch* instance = program->instances[0];
    EXPECT_EQ(instance->Number(), 0);
    EXPECT_TRUE(window->panels[0].box->isVisible());
    EXPECT_TRUE(window->panels[0].checks[0]->isVisible());
    // Without a database the resume is refused and nothing is saved.
    EXPECT_EQ(instance->state, CQZClipwatch::cwsNotRunning);
    EXPECT_TRUE(QSettings("Velmora", "Clipwatch").childGroups().isEmpty());

    // The panel attached after Connect() has working controls.
    window->panels[0].checks[2]->click();
    EXPECT_TRUE(instance->Settings().MakeProxy);

    // With both chosen, the instance starts on them.
    const QString media = folder + "/chosen";
    QDir().mkpath(media);
    answerDialogs(
        [&](QWidget* dialog) {
            auto* files = qobject_cast<QFileDialog*>(dialog);
            files->findChild<QLineEdit*>("fileNameEdit")
                ->setText(files->fileMode() == QFileDialog::AnyFile ? databasePath(0) : media);
            static_cast<QDialog*>(files)->accept(); // QFileDialog::accept, protected there
        },
        [this] { window->startbuttonpress(); });
    EXPECT_EQ(instance->Settings().DataBase, databasePath(0).toStdString());
    EXPECT_EQ(instance->Settings().Dir, media.toStdString() + "/");
    EXPECT_NE(instance->state, CQZClipwatch::cwsNotRunning);
}

struct GeometryCase {
    int instances;
    int width;
    int height;
    int panelWidth;
    int panelHeight;
};

class PanelGeometry : public WindowTest, public ::testing::WithParamInterface<GeometryCase>
{
};

TEST_P(PanelGeometry, FollowsWindowSizeAndInstanceCount)
{
    const GeometryCase c = GetParam();
    for (int k = 0; k < c.instances; ++k)
        setKeys(k, {{"MakeXMP", false}});
    startWindow();
    window->resize(c.width, c.height);
    window->Relayout();
    for (int k = 0; k < kPanelCount; ++k) {
        const QGroupBox* box = window->panels[k].box;
        EXPECT_EQ(box->isVisible(), k < c.instances) << k;
        if (k < c.instances) {
            EXPECT_EQ(box->geometry(),
                      QRect(100 + k * c.panelWidth, 60, c.panelWidth, c.panelHeight))
                << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, PanelGeometry,
                         ::testing::Values(GeometryCase{2, 1000, 600, 445, 375},
                                           GeometryCase{5, 1000, 600, 250, 375},
                                           GeometryCase{2, 1000, 400, 445, 330},
                                           GeometryCase{1, 610, 450, 500, 375}));

class Selection : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        for (int k = 0; k < 3; ++k)
            setDatabase(k);
        startWindow();
    }
    std::vector<int> states() const
    {
        std::vector<int> result;
        for (const CQZClipwatch* instance : program->instances)
            result.push_back(instance->state);
        return result;
    }
};

TEST_F(Selection, UncheckedPanelIsLeftOut)
{
    window->panels[1].box->setChecked(false);
    window->pausebuttonpress();
    EXPECT_EQ(states(), (std::vector<int>{6, 1, 6}));
}

TEST_F(Selection, SelectorPicksTheInstancesOfOneDatabase)
{
    ASSERT_EQ(window->selector->count(), 4);
    window->selector->setCurrentIndex(window->selector->findText(databasePath(2)));
    window->pausebuttonpress();
    EXPECT_EQ(states(), (std::vector<int>{1, 1, 6}));
    // Stop acts only on scanning states, Start only on idle, paused or stopped ones.
    window->selector->setCurrentIndex(0);
    window->stopbuttonpress();
    EXPECT_EQ(states(), (std::vector<int>{1, 1, 6}));
}

TEST_F(Selection, CheckBoxInTheInstancesStateOnlyReloads)
{
    CQZClipwatch* instance = program->instances[0];
    QCheckBox* picon = window->panels[0].checks[0];
    ASSERT_FALSE(picon->isChecked());
    // The command protocol turned picons on behind the check box's back.
    instance->UpdateSettings([](CWSSettings& s) { s.MakePicons = true; });
    const int loads = logCount("Database verified");
    picon->click();
    EXPECT_TRUE(instance->Settings().MakePicons);
    EXPECT_FALSE(instance->resetCompletionRequested);
    EXPECT_EQ(logCount("Database verified"), loads + 1);

    QCheckBox* md5 = window->panels[0].checks[6];
    md5->click();
    EXPECT_TRUE(instance->Settings().MakeMD5);
    EXPECT_TRUE(instance->resetCompletionRequested);
    QSettings store("Velmora", "Clipwatch");
    EXPECT_TRUE(store.value("Instance0/MakeMD5").toBool());
    EXPECT_EQ(logCount("Database verified"), loads + 2);
}

TEST_F(Selection, DetachedInstanceReachesNoLabel)
{
    CQZClipwatch* instance = program->instances[1];
    QCoreApplication::processEvents();
    const QLabel* stateLabel = window->panels[1].labels[2];
    EXPECT_EQ(stateLabel->text(), "Idle");

    // Texts queued before the detach never arrive, in the old labels or the new ones.
    instance->LoadDatabase();
    window->DetachInstance(1);
    QCoreApplication::processEvents();
    for (const QLabel* label : window->panels[1].labels)
        EXPECT_TRUE(label->text().isEmpty());
    instance->LoadDatabase();
    QCoreApplication::processEvents();
    for (const QLabel* label : window->panels[1].labels)
        EXPECT_TRUE(label->text().isEmpty());
    EXPECT_FALSE(window->panels[1].checks[0]->isVisible());

    // Attached again, it shows its texts.
    window->AttachInstance(1);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->panels[1].labels[2]->text(), "Idle");
}

TEST_F(Selection, ClosingSavesTheSizeAndStopsSelectedScanningInstances)
{
    for (int k = 0; k < 3; ++k)
        program->instances[k]->SaveAutoStart(k, true);
    window->resize(700, 480);
    program->instances[0]->state = CQZClipwatch::cwsFindClips;
    window->panels[2].box->setChecked(false);
    program->instances[2]->state = CQZClipwatch::cwsProcessingClips;
    const int closed = logCount("~MainWindow mainwindow.cpp");
    window.reset();
    QSettings store("Velmora", "Clipwatch");
    EXPECT_EQ(store.value("width").toInt(), 700);
    EXPECT_EQ(store.value("height").toInt(), 480);
    // Stopping saves AutoStart off: only instance 0 was selected and scanning.
    EXPECT_FALSE(store.value("Instance0/AutoStart").toBool());
    EXPECT_TRUE(store.value("Instance1/AutoStart").toBool());
    EXPECT_TRUE(store.value("Instance2/AutoStart").toBool());
    EXPECT_EQ(logCount("~MainWindow mainwindow.cpp"), closed + 1);
}

// Answers every Clear Processes question with `answer` while `press` runs; returns the
// questions asked.
static QStringList answerQuestions(QMessageBox::StandardButton answer,
                                   const std::function<void()>& press)
{
    QStringList asked;
    answerDialogs(
        [&](QWidget* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            ASSERT_NE(box, nullptr);
            asked << box->text() + " " + box->informativeText();
            EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
            box->button(answer)->click();
        },
        press);
    return asked;
}

TEST_F(Selection, ClearProcessesAsksAndOnlyYesClears)
{
    const std::string anchor = folder.toStdString() + "/media0/clip.mov";
    {
        const std::shared_ptr<dbCwsHandle> db = program->instances[0]->Database();
        ASSERT_TRUE(db);
        dbCWSAddClip(db.get(), "clip.mov", anchor, folder.toStdString() + "/media0/");
        dbCWSSetElementStatus(db.get(), -1, anchor, CWS_ELEMENT_PICON, nullptr, "/p/clip.jpg",
                              QZ_FINISHED, "");
    }
    const auto piconState = [&] {
        dbCwsElementStatus status;
        dbCWSGetElementStatus(program->instances[0]->Database().get(), anchor, status);
        return status.state(CWS_ELEMENT_PICON);
    };
    window->selector->setCurrentIndex(window->selector->findText(databasePath(0)));

    const QStringList asked = answerQuestions(QMessageBox::No, [&] { window->clearbuttonpress(); });
    EXPECT_EQ(asked, QStringList({QString("This will remove all information in %1. Are you sure "
                                          "you want to continue?")
                                      .arg(databasePath(0))}));
    EXPECT_EQ(piconState(), QZ_FINISHED);

    answerQuestions(QMessageBox::Yes, [&] { window->clearbuttonpress(); });
    EXPECT_EQ(piconState(), 0);
}

TEST(ElidedLabel, LongTextElidesInTheMiddleWithTheWholeTextInTheTooltip)
{
    ElidedLabel label;
    const QString path = "/media/storage/projects/a-long-client-name/day-04/card-A/clip0001.mov";
    label.setText(path);
    label.resize(120, 20);
    const QString shown = label.shownText();
    EXPECT_NE(shown, path);
    EXPECT_TRUE(shown.startsWith("/me"));
    EXPECT_TRUE(shown.endsWith(".mov"));
    EXPECT_LT(label.minimumSizeHint().width(), 120);

    label.show();
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), label.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&label, &help);
    EXPECT_EQ(QToolTip::text(), path);

    label.setText("Idle");
    EXPECT_EQ(label.shownText(), "Idle");
}
