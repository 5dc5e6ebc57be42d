// Pictures of the whole main window on the demo plan, to look at: the week, the month
// and the notes screen, light and dark, with a toast up on the week. Written to the
// working folder (or PEMBY_PICTURES_DIR) as main-week.png, main-month.png and
// main-notes.png.
#include "appmodel.h"
#include "boardtesting.h"
#include "demodata.h"
#include "mainview.h"
#include "modelharness.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

void picture(const QString& name, Mode mode)
{
    QImage sides[2];
    for (const ColorScheme scheme : {ColorScheme::Light, ColorScheme::Dark}) {
        ModelHarness h;
        h.today = DemoData::day;
        DemoData::write(h.folder());
        DemoData::writeNotes(h.notesAppFolder());
        AppModel& m = h.start();
        // The window refreshes on the wall clock when it becomes active.
        m.setPinnedToday(DemoData::day);
        m.setMode(mode);
        if (mode == Mode::Week)
            m.showToast(QStringLiteral("Not this week. Fair."));
        sides[scheme == ColorScheme::Dark] = renderBoard(
            [&] {
                auto* window = new MainView;
                window->setModel(&m);
                return window;
            },
            QSize(1100, 700), scheme);
    }
    EXPECT_FALSE(savePictures(name, sides[0], sides[1]).isEmpty());
}

} // namespace

TEST(MainWindowPictures, WeekMonthAndNotesLightAndDark)
{
    MotionPin motion;
    picture("main-week.png", Mode::Week);
    picture("main-month.png", Mode::Month);
    picture("main-notes.png", Mode::Notes);
}
