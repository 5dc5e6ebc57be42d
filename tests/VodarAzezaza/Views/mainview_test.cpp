// The main window as a person meets it: the toolbar's buttons and help texts by mode,
// keys handed from the board to the key map, the board getting the keys back, sheets
// that follow their model properties, the refresh, the footnote and the toast, and the
// start-up return to focus mode.
#include "mainview.h"

#include "appmodel.h"
#include "boardselection.h"
#include "plansearch.h"
#include "focusmode.h"
#include "modelharness.h"
#include "notesmodel.h"
#include "plannercontent.h"
#include "reducemotion.h"
#include "sheets.h"
#include "sheetstub.h"
#include "toolbar.h"

#include <QAction>
#include <QDialog>
#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const Day today{2026, 3, 4};

class MainViewTest : public ::testing::Test {
protected:
    void SetUp() override { ReduceMotion::setForTesting(true); }

    MainView& open(MainView::Options options = {})
    {
        AppModel& m = h.start();
        // The window refreshes on the wall clock when it becomes active; today stays
        // where the test put it.
        m.setPinnedToday(today);
        window = std::make_unique<MainView>(options);
        window->setModel(&m);
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QCoreApplication::processEvents();
        return *window;
    }
    AppModel& model() { return h.model(); }
    QWidget* board() { return window->content(); }
    ToolbarButton* button(Toolbar::Button which) { return window->toolbar()->button(which); }
    // The board is the window's focus widget, whether or not the window is active.
    bool boardHasKeys() { return window->focusWidget() == board(); }
    // Somewhere else in the window to take the keys, as a field does.
    QLineEdit* elsewhere()
    {
        if (!field_) {
            field_ = new QLineEdit(window->centralWidget());
            field_->show();
        }
        field_->setFocus();
        return field_;
    }

    ModelHarness h;
    std::unique_ptr<MainView> window;

private:
    QLineEdit* field_ = nullptr;
};

TEST_F(MainViewTest, WindowIsMainAtItsDefaultSizeAndCannotShrinkBelowTheContentMinimum)
{
    MainView& w = open();
    EXPECT_EQ(w.objectName(), "main");
    EXPECT_EQ(w.size(), QSize(1100, 700));
    EXPECT_EQ(w.content()->minimumSize(), QSize(860, 560));
    w.resize(400, 300);
    EXPECT_GE(w.content()->width(), 860);
    EXPECT_GE(w.content()->height(), 560);
}

TEST_F(MainViewTest, ToolbarFollowsTheMode)
{
    struct Case {
        Mode mode;
        bool navigation;
        const char* previous;
        const char* next;
        const char* search;
    };
    const QString ctrlF = QKeySequence(Qt::CTRL | Qt::Key_F).toString(QKeySequence::NativeText);
    const Case cases[] = {
        {Mode::Week, true, "Last week  [", "Next week  ]", "Search  "},
        {Mode::Month, true, "Last month  [", "Next month  ]", "Search  "},
        {Mode::Notes, false, nullptr, nullptr, "Search notes  "},
    };
    open();
    for (const Case& c : cases) {
        SCOPED_TRACE(modeRawValue(c.mode).toStdString());
        model().setMode(c.mode);
        EXPECT_EQ(window->toolbar()->navigation()->isVisible(), c.navigation);
        if (c.navigation) {
            EXPECT_EQ(button(Toolbar::Button::Previous)->toolTip(), c.previous);
            EXPECT_EQ(button(Toolbar::Button::Next)->toolTip(), c.next);
            EXPECT_EQ(button(Toolbar::Button::Today)->toolTip(), "Back to today  T");
        }
        EXPECT_EQ(button(Toolbar::Button::Search)->toolTip(), QString::fromUtf8(c.search) + ctrlF);
        EXPECT_TRUE(button(Toolbar::Button(int(Toolbar::Button::Week) + int(c.mode)))->isChecked());
        EXPECT_EQ(window->toolbar()->titleBlock()->title(), model().title());
        EXPECT_EQ(window->toolbar()->titleBlock()->subtitle(), model().subtitle());
    }
    EXPECT_EQ(window->toolbar()->picker()->toolTip(),
              "Week  W · Month  M · Notes  " + QKeySequence(Qt::CTRL | Qt::Key_3).toString(QKeySequence::NativeText));
    EXPECT_EQ(button(Toolbar::Button::Focus)->toolTip(),
              "Focus mode " + QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F).toString(QKeySequence::NativeText)
                  + ". Today, less window.");
}

TEST_F(MainViewTest, ToolbarButtonsCallTheModelAndNeverTakeTheKeys)
{
    open();
    const Day anchor = model().anchor();
    QTest::mouseClick(button(Toolbar::Button::Next), Qt::LeftButton);
    EXPECT_EQ(model().anchor(), anchor.adding(7));
    EXPECT_TRUE(boardHasKeys());
    QTest::mouseClick(button(Toolbar::Button::Previous), Qt::LeftButton);
    QTest::mouseClick(button(Toolbar::Button::Previous), Qt::LeftButton);
    EXPECT_EQ(model().anchor(), anchor.adding(-7));
    QTest::mouseClick(button(Toolbar::Button::Today), Qt::LeftButton);
    EXPECT_TRUE(model().weekDays().contains(today));

    QTest::mouseClick(button(Toolbar::Button::Month), Qt::LeftButton);
    EXPECT_EQ(model().mode(), Mode::Month);
    QTest::mouseClick(button(Toolbar::Button::Notes), Qt::LeftButton);
    EXPECT_EQ(model().mode(), Mode::Notes);

    // On the notes screen the search asks the notes list for its field.
    const int requests = model().notes().searchRequest();
    QTest::mouseClick(button(Toolbar::Button::Search), Qt::LeftButton);
    EXPECT_EQ(model().notes().searchRequest(), requests + 1);
    EXPECT_FALSE(model().search().isSearching());

    QTest::mouseClick(button(Toolbar::Button::Focus), Qt::LeftButton);
    EXPECT_TRUE(model().focusMode().isFocusMode());
    EXPECT_EQ(h.panel->shown, 1);
}

TEST_F(MainViewTest, BoardHandsKeysToTheKeyMap)
{
    open();
    ASSERT_TRUE(boardHasKeys());
    QTest::keyClick(board(), Qt::Key_M);
    EXPECT_EQ(model().mode(), Mode::Month);
    QTest::keyClick(board(), Qt::Key_W);
    EXPECT_EQ(model().mode(), Mode::Week);
    const Day anchor = model().anchor();
    QTest::keyClick(board(), Qt::Key_BracketRight);
    EXPECT_EQ(model().anchor(), anchor.adding(7));

    QTest::keyClick(board(), Qt::Key_T);
    const auto id = model().add(QStringLiteral("call the dentist"), Place::onDay(today));
    ASSERT_TRUE(id);
    model().selection().select(id);
    QTest::keyClick(board(), Qt::Key_Space);
    EXPECT_TRUE(model().planner().thing(*id)->done);
}

TEST_F(MainViewTest, KeysTheMapTakesBeatAMenuShortcutAndOptionChordsStayTheMenus)
{
    open();
    const auto first = model().add(QStringLiteral("first"), Place::onDay(today));
    const auto second = model().add(QStringLiteral("second"), Place::onDay(today));
    model().selection().select(first);
    // A window shortcut on a key the board's map also wants.
    auto* up = new QAction(window.get());
    up->setShortcut(QKeySequence(Qt::Key_Down));
    window->addAction(up);
    QSignalSpy stolen(up, &QAction::triggered);
    QTest::keyClick(board(), Qt::Key_Down);
    EXPECT_EQ(stolen.count(), 0);
    EXPECT_EQ(model().selection().ids(), QSet<QUuid>{*second});

    // ⌥⌘→ is the menu's "Move the Rest of the Week" in every case, never a carry.
    auto* rest = new QAction(window.get());
    rest->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Right));
    window->addAction(rest);
    QSignalSpy menu(rest, &QAction::triggered);
    QTest::keyClick(board(), Qt::Key_Right, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(menu.count(), 1);
    EXPECT_EQ(titlesOn(model(), Place::onDay(today)), (QStringList{"first", "second"}));

    // A key the map leaves alone goes to the menu.
    auto* week = new QAction(window.get());
    week->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_1));
    window->addAction(week);
    QSignalSpy menuWeek(week, &QAction::triggered);
    QTest::keyClick(board(), Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(menuWeek.count(), 1);
}

TEST_F(MainViewTest, BoardGetsTheKeysBackWhenWhatTookThemCloses)
{
    SheetStubs stubs;
    open({.sheets = stubs.factories()});
    const auto id = model().add(QStringLiteral("call the dentist"), Place::onDay(today));
    ASSERT_TRUE(id);
    struct Rule {
        const char* name;
        std::function<void(AppModel&)> open;
        std::function<void(AppModel&)> close;
    };
    const QList<Rule> rules{
        {"inline edit", [&](AppModel& m) { m.setEditing(Editing::thing(*id)); },
         [](AppModel& m) { m.setEditing(std::nullopt); }},
        {"detail", [&](AppModel& m) { m.setOpened(id); }, [](AppModel& m) { m.setOpened(std::nullopt); }},
        {"note sheet", [&](AppModel& m) { m.setEditingNote(id); }, [](AppModel& m) { m.setEditingNote(std::nullopt); }},
        {"other app's detail", [](AppModel& m) { m.setOpenedExternal(QStringLiteral("todo-1")); },
         [](AppModel& m) { m.setOpenedExternal(std::nullopt); }},
        {"other app's note", [](AppModel& m) { m.setEditingExternalNote(QStringLiteral("todo-1")); },
         [](AppModel& m) { m.setEditingExternalNote(std::nullopt); }},
        {"place sheet", [](AppModel& m) { m.setZoomed(Place::onDay(today)); },
         [](AppModel& m) { m.setZoomed(std::nullopt); }},
        {"notes to month", [](AppModel& m) { m.setMode(Mode::Notes); }, [](AppModel& m) { m.setMode(Mode::Month); }},
    };
    for (const Rule& rule : rules) {
        SCOPED_TRACE(rule.name);
        rule.open(model());
        QCoreApplication::processEvents();
        // What opened takes the keys (the board's own inline field does); else a field
        // elsewhere stands in for it.
        if (boardHasKeys())
            elsewhere();
        ASSERT_FALSE(boardHasKeys());
        rule.close(model());
        EXPECT_TRUE(boardHasKeys());
    }

    // Going to the notes screen leaves the keys where they are; the search is not watched.
    elsewhere();
    model().setMode(Mode::Notes);
    EXPECT_FALSE(boardHasKeys());
    model().setMode(Mode::Week);
    model().search().setSearching(true);
    elsewhere();
    model().search().setSearching(false);
    EXPECT_FALSE(boardHasKeys());
}

TEST_F(MainViewTest, SheetsArePresentedExactlyWhileTheirPropertySaysSo)
{
    SheetStubs stubs;
    open({.sheets = stubs.factories()});
    const auto id = model().add(QStringLiteral("call the dentist"), Place::onDay(today));
    SheetPresenter& sheets = window->sheets();

    model().setEditingNote(id);
    QDialog* sheet = sheets.sheet(SheetKind::ThingNote);
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_TRUE(sheet->isModal());
    EXPECT_EQ(stubs.made(SheetKind::ThingNote), 1);

    // Escape dismisses it: the property is written back and the board has the keys.
    QTest::keyClick(sheet, Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_EQ(model().editingNote(), std::nullopt);
    EXPECT_EQ(sheets.sheet(SheetKind::ThingNote), nullptr);
    EXPECT_TRUE(boardHasKeys());
    QTest::keyClick(board(), Qt::Key_Down);
    EXPECT_EQ(model().selection().ids(), QSet<QUuid>{*id});

    // The model closing it: the sheet goes, and what it held is saved first.
    model().setZoomed(Place::onDay(today));
    ASSERT_TRUE(sheets.sheet(SheetKind::Place));
    model().setZoomed(std::nullopt);
    EXPECT_EQ(sheets.sheet(SheetKind::Place), nullptr);
    EXPECT_EQ(stubs.saved(SheetKind::Place), 1);

    // Another target: the old sheet goes and one for the new target comes.
    model().setEditingExternalNote(QStringLiteral("todo-1"));
    QDialog* first = sheets.sheet(SheetKind::ExternalNote);
    model().setEditingExternalNote(QStringLiteral("todo-2"));
    EXPECT_NE(sheets.sheet(SheetKind::ExternalNote), first);
    EXPECT_EQ(stubs.made(SheetKind::ExternalNote), 2);
    EXPECT_EQ(model().editingExternalNote(), QStringLiteral("todo-2"));

    // The same sheet's thing under a fresh id (a re-read): a sheet that goes on with it
    // stays, holding what was typed.
    {
        SheetStubs following(stubs, SheetStubs::Follow::Always);
        model().setEditingNote(id);
        QDialog* note = sheets.sheet(SheetKind::ThingNote);
        const auto fresh = model().add(QStringLiteral("call the dentist again"), Place::onDay(today));
        model().setEditingNote(fresh);
        EXPECT_EQ(sheets.sheet(SheetKind::ThingNote), note);
        EXPECT_EQ(following.made(SheetKind::ThingNote), 1);
        EXPECT_EQ(following.followed(SheetKind::ThingNote), 1);
        // Closed by any means, what it holds is written before the property is.
        QTest::keyClick(note, Qt::Key_Escape);
        QCoreApplication::processEvents();
        EXPECT_EQ(following.saved(SheetKind::ThingNote), 1);
        EXPECT_EQ(model().editingNote(), std::nullopt);
    }

    // The search, from the toolbar.
    QTest::mouseClick(button(Toolbar::Button::Search), Qt::LeftButton);
    EXPECT_TRUE(model().search().isSearching());
    EXPECT_TRUE(sheets.sheet(SheetKind::Search));
}

TEST_F(MainViewTest, ARequestNoSheetCanShowIsAnsweredAsADismissal)
{
    // No sheet of any kind.
    open({.sheets = {}});
    // Left standing, the key map would wait for a sheet that never comes.
    model().search().beginSearch();
    EXPECT_FALSE(model().search().isSearching());
    model().setZoomed(Place::onDay(today));
    EXPECT_EQ(model().zoomed(), std::nullopt);
    QTest::keyClick(board(), Qt::Key_M);
    EXPECT_EQ(model().mode(), Mode::Month);
}

TEST_F(MainViewTest, RefreshesWhenTheAppBecomesActiveAndOnTheHeartbeat)
{
    MainView::Options options;
    options.refreshMs = 30;
    open(options);
    const QString name = QStringLiteral("2026-W10.md");
    const auto edited = [&](const QString& title) {
        h.put(name, weekFile(Day{2026, 3, 2}, {{today, {"- [ ] " + title}}}));
    };

    edited("from another device");
    emit qApp->applicationStateChanged(Qt::ApplicationActive);
    EXPECT_EQ(titlesOn(model(), Place::onDay(today)), QStringList{"from another device"});

    edited("and again");
    EXPECT_TRUE(waitUntil([&] { return titlesOn(model(), Place::onDay(today)) == QStringList{"and again"}; }));

    // Hidden, the window does not keep time.
    window->hide();
    edited("while hidden");
    QTest::qWait(120);
    EXPECT_EQ(titlesOn(model(), Place::onDay(today)), QStringList{"and again"});
}

TEST_F(MainViewTest, FootnoteTurnsRedOnlyWhileASaveFails)
{
    h.folderName = "blocker/Pemby Planner";
    const QString blocker = h.root() + "/blocker";
    {
        QFile file(blocker);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    open();
    FootnoteLine* footnote = window->content()->footnote();
    EXPECT_FALSE(footnote->isOops());
    model().add(QStringLiteral("pay rent"), Place::onDay(today));
    ASSERT_TRUE(model().saveError());
    EXPECT_TRUE(footnote->isOops());
    EXPECT_EQ(footnote->text(), *model().saveError());

    ASSERT_TRUE(QFile::remove(blocker));
    model().add(QStringLiteral("water the plants"), Place::onDay(today));
    ASSERT_FALSE(model().saveError());
    EXPECT_FALSE(footnote->isOops());
    EXPECT_EQ(footnote->text(), model().footnote());
}

TEST_F(MainViewTest, ToastFloatsFortyPixelsAboveTheBottomWhileSet)
{
    h.toastDuration = std::chrono::milliseconds(50);
    open();
    ToastView* toast = window->content()->toast();
    EXPECT_FALSE(toast->isVisible());
    model().showToast(QStringLiteral("Deleted. Ctrl+Z if that was a mistake."));
    EXPECT_TRUE(toast->isVisible());
    EXPECT_EQ(toast->text(), "Deleted. Ctrl+Z if that was a mistake.");
    EXPECT_EQ(window->content()->height() - toast->geometry().bottom() - 1, PlannerContent::toastLift);
    EXPECT_EQ(toast->geometry().center().x(), window->content()->rect().center().x());
    EXPECT_TRUE(waitUntil([&] { return !toast->isVisible(); }));
}

TEST_F(MainViewTest, FocusModeTradesTheWindowForThePanelAndBack)
{
    open();
    model().focusMode().enterFocusMode();
    EXPECT_TRUE(waitUntil([&] { return !window->isVisible(); }));
    model().focusMode().exitFocusMode();
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainViewTest, WithNoPanelToShowFocusModeLeavesTheWindowOnScreen)
{
    h.start();
    AppModel::Services services = h.services();
    // What the model falls back on: a controller that never makes a panel.
    services.focusPanel.reset();
    AppModel m(h.folder(), today, &h.settings(), h.family(), h.notesFolder(), h.notesAppFolder(), std::move(services));
    MainView w;
    w.setModel(&m);
    w.show();
    m.focusMode().enterFocusMode();
    QTest::qWait(20);
    EXPECT_TRUE(w.isVisible()) << "no window at all would be left to get back from";
}

TEST_F(MainViewTest, StartUpReturnsToFocusModeOnceWhenItWasOn)
{
    struct Case {
        const char* name;
        std::optional<QString> focusLast;
        bool renderRun;
        int entered;
        bool restored;
    };
    const Case cases[] = {
        {"absent", std::nullopt, false, 0, true},
        {"off", QStringLiteral("false"), false, 0, true},
        {"on", QStringLiteral("true"), false, 1, true},
        {"on, but a render run", QStringLiteral("true"), true, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness harness;
        AppModel& m = harness.start();
        if (c.focusLast)
            m.defaults()->setValue(QStringLiteral("focus.last"), *c.focusLast);
        MainView::Options options;
        options.renderRun = c.renderRun;
        MainView w(options);
        w.setModel(&m);
        w.show();
        QTest::qWait(20);
        EXPECT_EQ(harness.panel->shown, c.entered);
        EXPECT_EQ(w.restoredMode(), c.restored);
        // Shown again, the content does not go back to focus mode a second time.
        if (m.focusMode().isFocusMode())
            m.focusMode().exitFocusMode();
        w.hide();
        w.show();
        QTest::qWait(20);
        EXPECT_EQ(harness.panel->shown, c.entered);
    }
}

TEST_F(MainViewTest, AWindowThatNeverShowsStillGoesBackToFocusModeAfterItsChecks)
{
    AppModel& m = h.start();
    m.defaults()->setValue(QStringLiteral("focus.last"), QStringLiteral("true"));
    MainView::Options options;
    options.focusCheckMs = 1;
    MainView w(options);
    w.setModel(&m);
    w.show();
    w.hide();
    EXPECT_TRUE(waitUntil([&] { return h.panel->shown == 1; }, 1000));
}

TEST_F(MainViewTest, GeometryIsKeptInTheSettings)
{
    open();
    window->resize(1200, 760);
    window->hide();
    MainView again;
    again.setModel(&model());
    EXPECT_EQ(again.size(), QSize(1200, 760));
}

} // namespace
