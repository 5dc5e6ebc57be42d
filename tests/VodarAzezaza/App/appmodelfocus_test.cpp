#include "addlink.h"
#include "appmodel.h"
#include "boardselection.h"
#include "plansearch.h"
#include "modelharness.h"
#include "plannerlists.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

const Day wednesday{2026, 3, 4};
const Day thursday{2026, 3, 5};
const Place today = Place::onDay(wednesday);

// The main window as the model sees it, counting what it was asked to do.
struct Window {
    QObject object;
    int hidden = 0;
    int raised = 0;

    FocusMode::MainWindow handle()
    {
        return {&object, [this] { ++hidden; }, [this] { ++raised; }};
    }
};

QVariant focusLast(ModelHarness& h)
{
    return h.settings().value("focus.last");
}

QString payload(const QStringList& titles)
{
    QJsonArray array;
    for (const QString& title : titles)
        array.append(QJsonObject{{"title", title}});
    return QString::fromLatin1(
        QJsonDocument(array).toJson(QJsonDocument::Compact).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

void putHandoff(ModelHarness& h, const QStringList& titles)
{
    QDir().mkpath(h.handoffFolder());
    QFile file(h.handoffFolder() + "/handoff.json");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromBase64(payload(titles).toLatin1(), QByteArray::Base64UrlEncoding));
}

} // namespace

TEST(AppModelFocus, EnteringTradesTheMainWindowForThePanelOnce)
{
    ModelHarness h;
    AppModel& m = h.start();
    Window window;
    m.focusMode().setMainWindow(window.handle());
    const QUuid a = *m.add("A", today);
    m.selection().select(a);
    m.setEditing(Editing::thing(a));
    m.setOpened(a);
    m.setOpenedExternal(QStringLiteral("X"));
    m.setZoomed(today);
    m.search().setSearching(true);
    m.settings().setFloats(false);

    m.focusMode().enterFocusMode();
    EXPECT_TRUE(m.focusMode().isFocusMode());
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{});
    EXPECT_EQ(m.selection().anchor(), std::nullopt);
    EXPECT_EQ(m.editing(), std::nullopt);
    EXPECT_EQ(m.opened(), std::nullopt);
    EXPECT_EQ(m.openedExternal(), std::nullopt);
    EXPECT_EQ(m.zoomed(), std::nullopt);
    EXPECT_FALSE(m.search().isSearching());
    EXPECT_EQ(focusLast(h), "true");
    EXPECT_EQ(window.hidden, 1);
    EXPECT_EQ(h.panel->shown, 1);
    EXPECT_EQ(h.panel->floated, QList<bool>{false});
    EXPECT_EQ(m.columns(), QList<Place>{today});
    EXPECT_EQ(m.placeForNew(), today);

    m.focusMode().enterFocusMode();
    EXPECT_EQ(window.hidden, 1);
    EXPECT_EQ(h.panel->shown, 1);
}

TEST(AppModelFocus, AListDeletedSinceItWasChosenShowsToday)
{
    ModelHarness h;
    AppModel& m = h.start();
    for (int i = 0; i < 4; ++i)
        m.lists().addList();
    m.focusMode().setFocusSource(FocusSource::list(4));
    EXPECT_EQ(m.focusPlace(), Place::inList(4));
    m.lists().requestDeleteList(4);
    ASSERT_EQ(m.planner().lists.size(), 4);

    m.focusMode().enterFocusMode();
    EXPECT_EQ(m.focusMode().focusSource(), FocusSource::today());
    EXPECT_EQ(m.focusPlace(), today);
}

TEST(AppModelFocus, TomorrowsWeekIsLoadedWhenItIsShown)
{
    ModelHarness h;
    AppModel& m = h.start();
    const QUuid a = *m.add("A", today);
    // A new day far on: the start loaded tomorrow's week, the day change did not.
    const Day sunday{2026, 3, 22};
    const Day monday{2026, 3, 23};
    h.put("2026-W13.md", weekFile(monday, {{monday, {"- [ ] from the file"}}}));
    h.clock = QDateTime(sunday.date(), QTime(9, 0), QTimeZone::utc());
    m.refresh(h.now());
    ASSERT_EQ(m.today(), sunday);
    ASSERT_TRUE(titlesOn(m, Place::onDay(monday)).isEmpty());

    m.selection().select(a);
    m.setEditing(Editing::newThing(today));
    m.focusMode().setFocusSource(FocusSource::tomorrow());
    EXPECT_EQ(m.focusPlace(), Place::onDay(monday));
    EXPECT_EQ(titlesOn(m, Place::onDay(monday)), QStringList{"from the file"});
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{});
    EXPECT_EQ(m.editing(), std::nullopt);
    EXPECT_EQ(m.undoStack().size(), 1) << "loading is no undo step";
}

TEST(AppModelFocus, LeavingBringsTheMainWindowBack)
{
    ModelHarness h;
    AppModel& m = h.start();
    m.focusMode().exitFocusMode();
    EXPECT_EQ(h.activations, 0) << "not in focus mode: nothing";
    EXPECT_EQ(h.panel->hidden, 0);

    auto window = std::make_unique<Window>();
    m.focusMode().setMainWindow(window->handle());
    int opened = 0;
    m.focusMode().setOpenMainWindow([&] { ++opened; });
    m.focusMode().enterFocusMode();
    m.setEditing(Editing::newThing(today));
    m.focusMode().exitFocusMode();
    EXPECT_FALSE(m.focusMode().isFocusMode());
    EXPECT_EQ(m.editing(), std::nullopt);
    EXPECT_EQ(focusLast(h), "false");
    EXPECT_EQ(h.panel->hidden, 1);
    EXPECT_EQ(window->raised, 1);
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(h.activations, 1);

    // The main window was closed meanwhile: a new one is opened.
    m.focusMode().enterFocusMode();
    window.reset();
    m.focusMode().exitFocusMode();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(h.activations, 2);
}

TEST(AppModelFocus, ReopeningShowsWhatThereIsToShow)
{
    ModelHarness h;
    AppModel& m = h.start();
    EXPECT_FALSE(m.focusMode().reopen()) << "no window and no way to open one";

    int opened = 0;
    m.focusMode().setOpenMainWindow([&] { ++opened; });
    EXPECT_TRUE(m.focusMode().reopen());
    EXPECT_EQ(opened, 1);

    Window window;
    m.focusMode().setMainWindow(window.handle());
    EXPECT_TRUE(m.focusMode().reopen());
    EXPECT_EQ(window.raised, 1);
    EXPECT_EQ(opened, 1);

    m.focusMode().enterFocusMode();
    m.settings().setFloats(false);
    EXPECT_TRUE(m.focusMode().reopen());
    EXPECT_EQ(h.panel->shown, 2);
    EXPECT_EQ(h.panel->floated, (QList<bool>{true, false, false})) << "shown floating, then the setting, then reopened";
    EXPECT_EQ(window.raised, 1);
}

TEST(AppModelFocus, SearchLoadsEveryWeekAndRevealShowsTheHit)
{
    ModelHarness h;
    const Day far{2025, 6, 11};
    h.put("2025-W24.md", weekFile(far.monday(), {{far, {"- [ ] find the needle"}}}));
    AppModel& m = h.start();
    ASSERT_TRUE(m.planner().search("needle").isEmpty());

    m.search().beginSearch();
    EXPECT_TRUE(m.search().isSearching());
    const QList<SearchHit> hits = m.planner().search("needle");
    ASSERT_EQ(hits.size(), 1);
    EXPECT_EQ(m.undoStack().size(), 0);

    m.search().reveal(hits.first().place, hits.first().thing.id);
    EXPECT_FALSE(m.search().isSearching());
    EXPECT_EQ(m.mode(), Mode::Week);
    EXPECT_TRUE(m.weekDays().contains(far));
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{hits.first().thing.id});

    // A month: month mode at that month.
    const QUuid later = *m.add("roughly then", Place::inMonth({2026, 5}));
    m.search().setSearching(true);
    m.search().reveal(Place::inMonth({2026, 5}), later);
    EXPECT_EQ(m.mode(), Mode::Month);
    EXPECT_EQ(m.anchor(), (Day{2026, 5, 1}));
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{later});
    EXPECT_EQ(m.selection().anchor(), later);

    // A list: the week board with the lists shown.
    m.settings().setShowLists(false);
    const QUuid listed = *m.add("someday", Place::inList(0));
    m.search().reveal(Place::inList(0), listed);
    EXPECT_EQ(m.mode(), Mode::Week);
    EXPECT_TRUE(m.settings().showLists());
    EXPECT_EQ(h.settings().value("showLists"), "true");
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{listed});
}

TEST(AppModelFocus, TheAddLinkAddsWhatItCarries)
{
    const Day april{2026, 4, 10};
    const QString longTitle(AddLink::maxTitle + 1, u'x');
    const QString longNote(AddLink::maxNote + 1, u'x');
    struct Case {
        const char* name;
        QString link;
        QStringList handoff;  // waiting in the hand-off file
        Place place;
        QStringList added;    // none: the link is ignored, silently
        QString toast;
        Day anchor;
    };
    const QString add = "vodarazezaza://add?";
    // The board stays on the week it was moved to.
    const auto ignored = [](const char* name, const QString& link) {
        return Case{name, link, {}, today, {}, {}, Day{2026, 3, 18}};
    };
    const QList<Case> cases{
        {"a title goes to today", add + "title=%20buy%20milk%0A", {}, today, {"buy milk"}, "Added. From elsewhere.",
         wednesday},
        ignored("the scheme in capitals", "VODARAZEZAZA://add?title=milk"),
        ignored("the scheme capitalised", "Vodarazezaza://add?title=milk"),
        ignored("another host", "vodarazezaza://remove?title=milk"),
        ignored("the host in capitals", "vodarazezaza://ADD?title=milk"),
        ignored("another scheme", "https://add?title=milk"),
        ignored("no query", "vodarazezaza://add"),
        ignored("a blank title", add + "title=%20%09%0A"),
        ignored("a title without a value", add + "title"),
        {"a title with the list", add + "title=milk&list=1", {}, Place::inList(0), {"milk"}, "Added. From elsewhere.",
         Day{2026, 3, 18}},
        {"a list without a value is no list", add + "title=milk&list", {}, today, {"milk"}, "Added. From elsewhere.",
         wednesday},
        {"a title with a day and the list: the day wins", add + "title=milk&list=yes&day=2026-04-10", {},
         Place::onDay(april), {"milk"}, "Added. From elsewhere.", april},
        {"the first day has no value: no day", add + "title=milk&day&day=2026-04-10", {}, today, {"milk"},
         "Added. From elsewhere.", wednesday},
        {"a day that does not exist: the list, then today", add + "title=milk&day=2026-02-30&list=1", {},
         Place::inList(0), {"milk"}, "Added. From elsewhere.", Day{2026, 3, 18}},
        {"things of a payload", add + "things=" + payload({"a", "b"}), {}, today, {"a", "b"},
         "2 added. From elsewhere.", wednesday},
        ignored("a payload that is no base64", add + "things=!!!&title=milk"),
        ignored("a payload too large", add + "things=" + payload({QString(AddLink::maxPayload, u'x')})),
        {"the hand-off comes first", add + "handoff=1&things=" + payload({"a"}) + "&title=milk", {"handed", "over"},
         today, {"handed", "over"}, "2 added. From elsewhere.", wednesday},
        ignored("a hand-off with nothing waiting", add + "handoff=1&title=milk"),
        {"percent-encoded text, and a plus that stays", add + "title=caf%C3%A9+bar", {}, today, {"café+bar"},
         "Added. From elsewhere.", wednesday},
        ignored("a stray percent", add + "title=100%"),
        ignored("bytes that are no UTF-8", add + "title=%FF"),
        ignored("a title too long", add + "title=" + longTitle),
        ignored("a note too long", add + "title=milk&note=" + longNote),
        ignored("a link too long in all", add + "title=milk&x=" + QString(AddLink::maxText, u'x')),
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness h;
        AppModel& m = h.start();
        m.go(2);  // the board elsewhere, so a link that shows a day is seen to
        if (!c.handoff.isEmpty())
            putHandoff(h, c.handoff);
        const Planner before = m.planner();

        m.open(c.link);
        if (c.added.isEmpty()) {
            EXPECT_EQ(m.planner(), before);
            EXPECT_EQ(m.toast(), std::nullopt);
            EXPECT_EQ(m.anchor(), c.anchor);
            continue;
        }
        EXPECT_EQ(titlesOn(m, c.place), c.added);
        EXPECT_EQ(m.toast(), c.toast);
        EXPECT_EQ(m.anchor(), c.anchor);
        EXPECT_EQ(m.mode(), Mode::Week);
        EXPECT_EQ(m.selection().ids(), QSet<QUuid>{idOf(m.planner(), c.added.last())});
        EXPECT_EQ(m.undoStack().size(), 1);
        EXPECT_FALSE(QFile::exists(h.handoffFolder() + "/handoff.json"));
    }
}

TEST(AppModelFocus, TheAddLinkKeepsOnlyLinksThePlannerOpens)
{
    struct Case {
        QString from;
        std::optional<QString> link;
    };
    const QList<Case> cases{
        {"https%3A%2F%2Fshop.example%2Fmilk%3Fid%3D1", "https://shop.example/milk?id=1"},
        {"mailto:grocer@example.org", "mailto:grocer@example.org"},
        {"javascript:alert(1)", std::nullopt},
        {"file:///etc/passwd", std::nullopt},
        {"shop.example/milk", std::nullopt},
        {"", std::nullopt},
        {"https://example.org/" + QString(AddLink::maxFrom, u'x'), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from.left(60).toStdString());
        ModelHarness h;
        AppModel& m = h.start();
        m.open("vodarazezaza://add?title=milk&note=two%20litres&from=" + c.from);
        const auto thing = m.planner().thing(idOf(m.planner(), "milk"));
        ASSERT_TRUE(thing) << "added, with or without its link";
        EXPECT_EQ(thing->note, "two litres");
        EXPECT_EQ(thing->link, c.link);
    }
}

TEST(AppModelFocus, OpeningAThingsLinkIsForTheWebMailAndOurselves)
{
    ModelHarness h;
    AppModel& m = h.start();
    for (const QString link : {"https://example.org/a", "http://example.org", "mailto:a@example.org"})
        m.openLink(link);
    EXPECT_EQ(h.openedUrls,
              (QList<QUrl>{QUrl("https://example.org/a"), QUrl("http://example.org"), QUrl("mailto:a@example.org")}));
    EXPECT_EQ(m.toast(), std::nullopt);

    for (const QString link : {"file:///etc/passwd", "javascript:alert(1)", "smb://server/share", "example.org", "https://"}) {
        SCOPED_TRACE(link.toStdString());
        m.openLink(link);
        EXPECT_EQ(m.toast(), "Can't open that kind of link.");
        EXPECT_EQ(h.openedUrls.size(), 3);
    }

    m.openLink("vodarazezaza://add?title=from%20a%20link");
    EXPECT_EQ(titlesOn(m, today), QStringList{"from a link"});
    EXPECT_EQ(h.openedUrls.size(), 3) << "our own links need no desktop";

    h.desktopOpens = false;
    m.openLink("https://example.org/b");
    EXPECT_EQ(m.toast(), "Couldn't open that link.");
}

TEST(AppModelFocus, AMailLinkGoesOutWithoutFilesToAttachAndSaysWhereItGoes)
{
    ModelHarness h;
    AppModel& m = h.start();
    struct Case { const char* link; const char* opened; const char* destination; };
    const Case cases[] = {
        {"mailto:a@example.org?subject=hi&attach=/home/me/.ssh/id_ed25519&body=x",
         "mailto:a@example.org?subject=hi&body=x", "a@example.org"},
        {"mailto:a@example.org?Attachment=%2Fetc%2Fshadow", "mailto:a@example.org", "a@example.org"},
        {"mailto:a@example.org?%61ttach=~/notes.rtf&ATTACH=x&cc=b@example.org", "mailto:a@example.org?cc=b@example.org",
         "a@example.org"},
        {"mailto:?to=c@example.org&attach=x", "mailto:?to=c@example.org", "c@example.org"},
        {"mailto:", "mailto:", "a new mail"},
        {"https://example.org/a?attach=x", "https://example.org/a?attach=x", "example.org"},
        {"https://b\u00FCcher.example/", "https://xn--bcher-kva.example/", "xn--bcher-kva.example"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link);
        h.openedUrls.clear();
        const QString link = QString::fromUtf8(c.link);
        EXPECT_EQ(linkDestination(link), QString::fromUtf8(c.destination));
        m.openLink(link);
        ASSERT_EQ(h.openedUrls.size(), 1);
        EXPECT_EQ(h.openedUrls.first().toString(QUrl::FullyEncoded), QString::fromUtf8(c.opened));
    }
    EXPECT_EQ(linkDestination("vodarazezaza://add?title=x"), std::nullopt);
    EXPECT_EQ(linkDestination("file:///etc/passwd"), std::nullopt);
}
