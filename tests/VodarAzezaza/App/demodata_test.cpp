#include "demodata.h"

#include "markdown.h"
#include "notestore.h"
#include "textfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// One thing as the demo table gives it; `note` and `steps` only where it says so.
struct Row {
    Row(int day, QString title, bool done = false, int moves = 0, std::optional<Mark> mark = std::nullopt)
        : day(day), title(std::move(title)), done(done), moves(moves), mark(mark)
    {
    }
    int day;
    QString title;
    bool done;
    int moves;
    std::optional<Mark> mark;
    QList<Step> steps;
    QString note;
    bool repeats = false;
};

Row withNote(Row row, QList<Step> steps, QString note)
{
    row.steps = std::move(steps);
    row.note = std::move(note);
    return row;
}

Row repeating(Row row)
{
    row.repeats = true;
    return row;
}

const QList<Row>& table()
{
    static const QList<Row> rows = {
        {2, "taxes, part one", true},
        {4, "haircut", true},
        {5, "dinner at ines's", true},
        {7, "laundry mountain", true},
        {9, "call the dentist", true},
        {9, "pay rent", true},
        {9, "send the invoice", true},
        {10, "slides for thursday", false, 2},
        {10, "book flights"},
        withNote({10, "reply to ines"},
                 {{"read her message", true}, {"check the dates", false}, {"answer, briefly", false}},
                 "she asked about lisbon in may.\nsay yes before thinking about it."),
        {10, "drink water", true},
        {11, "lunch with theo", false, 0, Mark::Lavender},
        {11, "pick up the parcel"},
        repeating({11, "water the plants"}),
        {12, "present slides", false, 0, Mark::Red},
        {12, "call mum"},
        {13, "renew the passport", false, 3},
        {13, "gym, allegedly", false, 0, Mark::Green},
        {13, "expense report"},
        {14, "the market"},
        {15, "nothing. properly."},
        {16, "dentist, actually"},
        {20, "team offsite"},
        {20, "pack"},
        {20, "find the charger"},
        {20, "print the tickets"},
        {20, "charge the headphones"},
        {20, "out of office"},
        {20, "water the neighbour's plants"},
        {26, "flight to lisbon"},
        {27, "lisbon"},
        {28, "lisbon"},
        {29, "fly home"},
    };
    return rows;
}

QString read(const QString& path)
{
    const pemby::TextFile file = pemby::readTextFile(path);
    EXPECT_EQ(file.state, pemby::TextFile::State::Read) << path.toStdString();
    return file.text;
}

QStringList titles(const QList<Thing>& things)
{
    QStringList out;
    for (const Thing& thing : things) {
        EXPECT_FALSE(thing.done) << thing.title.toStdString();
        EXPECT_EQ(thing.zs, 0);
        EXPECT_FALSE(thing.mark.has_value());
        out.append(thing.title);
    }
    return out;
}

} // namespace

TEST(DemoDataTest, WritesThePlanOfTheTableFileByFile)
{
    QTemporaryDir dir;
    DemoData::write(dir.path());
    // Weeks without a thing get no file: 26 October and 30 November stay away.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files, QDir::Name),
              (QStringList{"2026-11.md", "2026-W45.md", "2026-W46.md", "2026-W47.md", "2026-W48.md", "eventually.md",
                           "repeats.md"}));

    const QList<RepeatRule> rules = Markdown::decodeRepeats(read(dir.filePath("repeats.md")));
    ASSERT_EQ(rules.size(), 1);
    EXPECT_EQ(rules[0].title, u"water the plants");
    EXPECT_EQ(rules[0].kind, RepeatKind::Weekly);
    EXPECT_EQ(rules[0].start, (Day{2026, 11, 11}));
    EXPECT_FALSE(rules[0].mark.has_value());

    Planner plan;
    for (const Day monday : {Day{2026, 11, 2}, Day{2026, 11, 9}, Day{2026, 11, 16}, Day{2026, 11, 23}})
        Markdown::decodeWeek(read(dir.filePath(Markdown::weekFileName(monday))), monday, plan);
    QMap<Day, QList<Row>> expected;
    for (const Row& row : table())
        expected[Day{2026, 11, row.day}].append(row);
    EXPECT_EQ(plan.days.keys(), expected.keys());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const QList<Thing> things = plan.things(Place::onDay(it.key()));
        ASSERT_EQ(things.size(), it->size()) << it.key().iso().toStdString();
        for (qsizetype i = 0; i < things.size(); ++i) {
            const Row& row = (*it)[i];
            const Thing& thing = things[i];
            SCOPED_TRACE(row.title.toStdString());
            EXPECT_EQ(thing.title, row.title);
            EXPECT_EQ(thing.done, row.done);
            EXPECT_EQ(thing.zs, row.moves);
            EXPECT_EQ(thing.mark, row.mark);
            EXPECT_EQ(thing.steps, row.steps);
            EXPECT_EQ(thing.note, row.note);
            EXPECT_EQ(thing.repeatID, row.repeats ? std::optional<QString>(rules[0].id) : std::nullopt);
            EXPECT_FALSE(thing.link || thing.remind || thing.noteID || thing.syncID);
        }
    }
    // The rule was made, not yet applied to any week.
    EXPECT_TRUE(plan.appliedRepeats.isEmpty());

    const QList<EventuallyList> lists = Markdown::decodeLists(read(dir.filePath("eventually.md")));
    ASSERT_EQ(lists.size(), 3);
    EXPECT_EQ(lists[0].name, u"home");
    EXPECT_EQ(titles(lists[0].things), (QStringList{"fix the bike", "hang the shelf that's been leaning there since march"}));
    EXPECT_EQ(lists[1].name, u"to read");
    EXPECT_EQ(titles(lists[1].things), QStringList{"the book theo lent me"});
    EXPECT_EQ(lists[2].name, u"trip");
    EXPECT_EQ(titles(lists[2].things), (QStringList{"look at flights to lisbon", "ask about the cat"}));

    EXPECT_EQ(titles(Markdown::decodeMonth(read(dir.filePath("2026-11.md")))),
              (QStringList{"sort the photos", "new running shoes", "see the skin doctor"}));
}

TEST(DemoDataTest, WritesTheFourNotesOnceWithTheirAges)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("pemby-notes");
    const QDateTime before = QDateTime::currentDateTime();
    EXPECT_EQ(DemoData::writeNotes(folder), folder);
    const QDateTime after = QDateTime::currentDateTime();

    struct Expected {
        int age;
        QString text;
    };
    const Expected expected[] = {
        {0, "lisbon in may\nthe flights are from the 14th, and ines knows a place near alfama.\nbook before thinking about it."},
        {1, "groceries\noat milk, lemons, the good bread"},
        {3, "ideas, roughly\na lamp that dims itself at 10\na chair that judges less"},
        {9, "things ines said\n\"you don't have to do it today. you just have to not forget it.\""},
    };
    NoteStore store(folder);
    store.load();
    ASSERT_EQ(store.notes().size(), 4);
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.text.toStdString());
        const auto it = std::find_if(store.notes().cbegin(), store.notes().cend(),
                                     [&](const auto& note) { return note->text() == e.text; });
        ASSERT_NE(it, store.notes().cend());
        const Note& note = **it;
        const qint64 age = qint64(e.age) * 86400;
        // Dates as the note file keeps them (to the second), and the file's own.
        EXPECT_GE(note.modified().toSecsSinceEpoch(), before.toSecsSinceEpoch() - age - 1);
        EXPECT_LE(note.modified().toSecsSinceEpoch(), after.toSecsSinceEpoch() - age + 1);
        // The note file keeps its creation to the whole second, rounded.
        EXPECT_LE(std::abs(note.created().msecsTo(note.modified())), 1000);
        EXPECT_LE(std::abs(QFileInfo(store.filePath(note)).lastModified().toSecsSinceEpoch()
                           - note.modified().toSecsSinceEpoch()),
                  1);
    }

    // A second start finds notes there and adds none.
    const QStringList first = QDir(folder).entryList({"*.rtf"}, QDir::Files, QDir::Name);
    DemoData::writeNotes(folder);
    EXPECT_EQ(QDir(folder).entryList({"*.rtf"}, QDir::Files, QDir::Name), first);
}

TEST(DemoDataTest, AFolderWithAnyNoteIsNeverToppedUp)
{
    QTemporaryDir dir;
    QFile foreign(dir.filePath("mine.rtf"));
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write("{\\rtf1 mine}");
    foreign.close();
    DemoData::writeNotes(dir.path());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"mine.rtf"});
}

TEST(DemoDataTest, KnowsAFolderThatHoldsAPlan)
{
    struct Case {
        QStringList files;
        bool plan;
    };
    const Case cases[] = {
        {{}, false},
        {{"notes.txt", "README.md", "2026-W46.txt"}, false},
        {{"2026-W46.md"}, true},
        {{"2026-W6.md"}, true},
        {{"2026-11.md"}, true},
        {{"eventually.md"}, true},
        {{"repeats.md"}, true},
        {{"2026-W46 (conflict 2026-11-10 10.00).md"}, false},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        for (const QString& name : c.files) {
            QFile file(dir.filePath(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        EXPECT_EQ(DemoData::holdsPlan(dir.path()), c.plan) << c.files.join(' ').toStdString();
    }
    EXPECT_FALSE(DemoData::holdsPlan(QStringLiteral("/no/such/folder")));
}
