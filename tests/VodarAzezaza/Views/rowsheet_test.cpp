// Draws the rows of a column in each of their states and both details, once light and
// once dark, into rows-sheet.png in the working folder (or PEMBY_PICTURE_DIR), to be
// looked at; and checks what must hold in any picture of them.
#include "boarddrag.h"
#include "appearance.h"
#include "boardselection.h"
#include "droptargets.h"
#include "familythingdetail.h"
#include "familythingrow.h"
#include "modelharness.h"
#include "otherapps.h"
#include "palette.h"
#include "pictures.h"
#include "pembyfont.h"
#include "popover.h"
#include "reducemotion.h"
#include "ruled.h"
#include "thingcolumn.h"
#include "thingdetail.h"
#include "thingrow.h"
#include "viewharness.h"

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QPainter>
#include <QScreen>
#include <QAbstractButton>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <iostream>

namespace {

const Day wednesday{2026, 3, 4};
const Place today = Place::onDay(wednesday);
const Place list = Place::inList(0);
const Place thursday = Place::onDay(Day{2026, 3, 5});

// Every state a row can be in, in one day column and one list column.
void fill(ModelHarness& h, AppModel& m)
{
    m.commit([](Planner& p) {
        const auto with = [&](const QString& title, const std::function<void(Thing&)>& change, const Place& at) {
            Thing t = Thing::make(title);
            change(t);
            p.add(t, at);
        };
        with("plain open thing", [](Thing&) {}, today);
        with("selected", [](Thing&) {}, today);
        with("hovered", [](Thing&) {}, today);
        with("done, with steps and a note", [](Thing& t) {
            t.done = true;
            t.steps = {{"one", true}, {"two", false}};
            t.note = "a note";
            t.zs = 2;
            t.remind = TimeOfDay{9, 30};
        }, today);
        with("lavender", [](Thing& t) { t.mark = Mark::Lavender; }, today);
        with("green, done", [](Thing& t) {
            t.mark = Mark::Green;
            t.done = true;
        }, today);
        with("red, reminder, repeats, moved 3", [](Thing& t) {
            t.mark = Mark::Red;
            t.remind = TimeOfDay{18, 5};
            t.repeatID = "r1";
            t.zs = 3;
            t.steps = {{"a", false}};
            t.note = "n";
        }, today);
        with("<b>markup stays text</b> and a title far too long to fit the column", [](Thing&) {}, today);
        with("being renamed", [](Thing&) {}, today);
        with("dragged", [](Thing&) {}, today);
        with("a list thing with a reminder", [](Thing& t) { t.remind = TimeOfDay{8, 0}; }, list);
        // For the narrow column: every mark, and a long title.
        with("renew the passport", [](Thing& t) {
            t.mark = Mark::Lavender;
            t.steps = {{"photo", true}, {"form", false}};
            t.remind = TimeOfDay{18, 5};
            t.note = "the old one too";
            t.repeatID = "r1";
            t.zs = 3;
        }, thursday);
        with("steps and a time", [](Thing& t) {
            t.steps = {{"a", false}};
            t.remind = TimeOfDay{9, 0};
        }, thursday);
        with("a title too long for the narrow column", [](Thing&) {}, thursday);
    });
    SharedThing other = Sibling::row("T1", "from the to-do app", wednesday);
    SharedThing otherDone = Sibling::row("T2", "ticked there, shown here", wednesday);
    h.family().upsert(other);
    h.family().upsert(otherDone);
    m.refreshFromFamily();
    m.otherApps().toggleExternal(*m.otherApps().externalThing("T2"));
}

QImage render(ColorScheme scheme)
{
    Appearance appearance({scheme, nullptr, {}});
    appearance.makeAppWide();
    QCoreApplication::processEvents();

    ModelHarness h;
    AppModel& m = h.start();
    fill(h, m);

    ViewHost host(1160);
    host.setAutoFillBackground(true);
    auto* sheet = new QWidget;
    auto* columns = new QHBoxLayout(sheet);
    columns->setContentsMargins(12, 12, 12, 12);
    columns->setSpacing(16);
    auto* day = new ThingColumn(m, today);
    day->setEvents({"standup 09:30"});
    day->setMinRows(16);
    day->setFixedWidth(300);
    auto* capped = new ThingColumn(m, today);
    capped->setCap(4);
    capped->setFixedWidth(300);
    auto* side = new QVBoxLayout;
    side->addWidget(capped);
    auto* lists = new ThingColumn(m, list);
    lists->setMinRows(3);
    lists->setFixedWidth(300);
    side->addWidget(lists);
    side->addStretch(1);
    // A narrow day column: titles keep their minimum width, the marks that do not fit
    // are left out.
    auto* narrow = new ThingColumn(m, thursday);
    narrow->setFixedWidth(120);
    columns->addWidget(day, 0, Qt::AlignTop);
    columns->addWidget(narrow, 0, Qt::AlignTop);
    columns->addLayout(side);

    const QUuid thing = idOf(m.planner(), "red, reminder, repeats, moved 3");
    auto* details = new QVBoxLayout;
    auto* detail = new ThingDetail(m, today, thing, "red, reminder, repeats, moved 3", {{"a", false}, {"   ", false}});
    auto* external = new ExternalDetail(m, "T1", "from the to-do app", {{"water", true}});
    for (QWidget* d : {static_cast<QWidget*>(detail), static_cast<QWidget*>(external)}) {
        d->setAutoFillBackground(true);
        details->addWidget(d);
    }
    details->addStretch(1);
    columns->addLayout(details);
    host.hold(sheet);

    m.selection().setIDs({idOf(m.planner(), "selected")});
    m.setEditing(Editing::thing(idOf(m.planner(), "being renamed")));
    m.drag().setDragging({idOf(m.planner(), "dragged")});
    // The insertion line below the first row; the end line of the capped column.
    day->dropSpot().setSpot(DropSpot::below(ThingRow::rowID(idOf(m.planner(), "plain open thing"))));
    capped->dropSpot().setSpot(DropSpot::end());
    QCoreApplication::processEvents();
    if (QWidget* hovered = day->row(ThingRow::rowID(idOf(m.planner(), "hovered")))) {
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), hovered->mapToGlobal(QPointF(5, 5)));
        QCoreApplication::sendEvent(hovered, &enter);
    }
    QTest::qWait(RowFrame::hoverMs + 50);
    sheet->adjustSize();
    const QImage image = sheet->grab().toImage();
    m.drag().setDragging({});
    return image;
}

} // namespace

// Both details in their popovers as a person leaves them: steps added while open, the
// reminder switched on.
QImage popovers(ColorScheme scheme)
{
    Appearance appearance({scheme, nullptr, {}});
    appearance.makeAppWide();
    QCoreApplication::processEvents();
    ModelHarness h;
    AppModel& m = h.start();
    fill(h, m);
    ViewHost host(360);
    auto* column = new ThingColumn(m, today);
    host.hold(column);
    const auto settle = [] {
        for (int i = 0; i < 4; ++i)
            QCoreApplication::processEvents();
    };
    const auto addSteps = [&](QWidget* detail, const QStringList& steps) {
        auto* add = detail->findChild<QLineEdit*>("newStep");
        add->setFocus();
        for (const QString& step : steps) {
            QTest::keyClicks(add, step);
            QTest::keyClick(add, Qt::Key_Return);
        }
        settle();
    };
    QList<QImage> shots;

    m.setOpened(idOf(m.planner(), "plain open thing"));
    auto* row = qobject_cast<ThingRow*>(column->row(ThingRow::rowID(idOf(m.planner(), "plain open thing"))));
    addSteps(row->detail(), {"first step", "a second one", "and a third"});
    row->detail()->findChild<QAbstractButton*>("remind")->click();
    settle();
    EXPECT_TRUE(row->popover()->screen()->availableGeometry().contains(row->popover()->geometry()));
    shots.append(row->popover()->grab().toImage());
    m.setOpened(std::nullopt);

    m.setOpenedExternal("T1");
    auto* family = qobject_cast<FamilyThingRow*>(column->row(FamilyThingRow::rowID("T1")));
    addSteps(family->detail(), {"fill the can", "the fern too"});
    shots.append(family->popover()->grab().toImage());
    m.setOpenedExternal(std::nullopt);
    settle();
    return sideBySide(shots, 16);
}

TEST(RowSheet, DrawsBothDetailPopoversGrownWithTheirContent)
{
    const QList<QImage> pictures = inBothAppearances(&popovers);
    std::cout << "detail popovers: " << savePicture(sideBySide(pictures, 24), "detail-popovers.png").toStdString()
              << '\n';
    EXPECT_EQ(pictures.size(), 2);
}

TEST(RowSheet, DrawsEveryRowStateAndBothDetailsLightAndDark)
{
    ReduceMotion::setForTesting(true);
    PembyFont::install(PembyFont::embedded(), QDir::tempPath());
    const QImage light = render(ColorScheme::Light);
    const QImage dark = render(ColorScheme::Dark);
    QApplication::setPalette(Appearance::widgetPalette(ColorScheme::Light));
    ReduceMotion::setForTesting(false);

    QImage sheet(light.width(), light.height() + dark.height(), QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    p.drawImage(0, 0, light);
    p.drawImage(0, light.height(), dark);
    p.end();
    std::cout << "rows sheet: " << savePicture(sheet, "rows-sheet.png").toStdString() << '\n';
    EXPECT_EQ(light.pixel(2, 2), Palette::paper.light().rgb());
    EXPECT_EQ(dark.pixel(2, 2), Palette::ink.light().rgb());
}
