#include "markdown.h"

#include "support/markdowntesting.h"
#include "support/plannertesting.h"

#include <gtest/gtest.h>

namespace {

const Day week5 = day("2024-01-29");
const MonthKey may{2024, 5};

QString text(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes);
}

// The same file as another editor might save it.
QList<QString> twins(const QString& lf)
{
    QString crlf = lf;
    crlf.replace("\n", "\r\n");
    QString cr = lf;
    cr.replace(u'\n', u'\r');
    return {lf, crlf, cr, QChar(0xFEFF) + lf, QChar(0xFEFF) + crlf};
}

} // namespace

TEST(PlanFiles, WritesTheWorkedExamplesByteForByte)
{
    const Planner plan = examplePlan();
    EXPECT_EQ(Markdown::weekFileName(week5), "2024-W05.md");
    EXPECT_EQ(Markdown::encodeWeek(week5, plan), text(fixture("2024-W05.md")));
    EXPECT_EQ(Markdown::encodeRepeats(plan.repeats), text(fixture("repeats.md")));
    EXPECT_EQ(Markdown::encodeLists(plan.lists), text(fixture("eventually.md")));
    EXPECT_EQ(Markdown::monthFileName(may), "2024-05.md");
    EXPECT_EQ(Markdown::encodeMonth(may, plan.months[may]), text(fixture("2024-05.md")));
    EXPECT_EQ(Markdown::listsFileName(), "eventually.md");
    EXPECT_EQ(Markdown::repeatsFileName(), "repeats.md");
}

TEST(PlanFiles, ReadsTheWorkedExamplesInEveryLineEnding)
{
    const Planner expected = idless(examplePlan());
    for (const QString& week : twins(text(fixture("2024-W05.md")))) {
        Planner plan;
        Markdown::decodeWeek(week, week5, plan);
        EXPECT_EQ(idless(plan).days, expected.days);
        EXPECT_EQ(plan.appliedRepeats, expected.appliedRepeats);
    }
    for (const QString& repeats : twins(text(fixture("repeats.md"))))
        EXPECT_EQ(Markdown::decodeRepeats(repeats), expected.repeats);
    for (const QString& lists : twins(text(fixture("eventually.md")))) {
        QList<EventuallyList> read = Markdown::decodeLists(lists);
        for (auto& l : read)
            l.things = withoutIds(l.things);
        EXPECT_EQ(read, expected.lists);
    }
    for (const QString& month : twins(text(fixture("2024-05.md"))))
        EXPECT_EQ(withoutIds(Markdown::decodeMonth(month)), expected.months[may]);
}

TEST(PlanFiles, WritesTheEmptyForms)
{
    const Planner empty;
    EXPECT_EQ(Markdown::encodeWeek(week5, empty),
              "# 2024 week 5\n\n## mon 2024-01-29\n\n## tue 2024-01-30\n\n## wed 2024-01-31\n\n## thu 2024-02-01\n\n"
              "## fri 2024-02-02\n\n## sat 2024-02-03\n\n## sun 2024-02-04\n");
    EXPECT_EQ(Markdown::encodeMonth(may, {}), "# 2024-05, roughly\n\n");
    EXPECT_EQ(Markdown::encodeRepeats({}), "# repeats\n\n");
    EXPECT_EQ(Markdown::encodeLists({}), "# eventually\n");
    // An applied set that is present but empty writes no comment.
    Planner applied;
    applied.appliedRepeats[week5] = {};
    EXPECT_EQ(Markdown::encodeWeek(week5, applied), Markdown::encodeWeek(week5, empty));
}

TEST(PlanFiles, NamesWeeksByTheirIsoWeekYear)
{
    const Day monday = day("2024-12-30");
    EXPECT_EQ(Markdown::weekFileName(monday), "2025-W01.md");
    const QStringList lines = Markdown::encodeWeek(monday, Planner{}).split(u'\n');
    EXPECT_EQ(lines[0], "# 2025 week 1");
    EXPECT_EQ(lines[2], "## mon 2024-12-30");
    EXPECT_EQ(lines[14], "## sun 2025-01-05");
    EXPECT_EQ(Markdown::weekFileName(day("2021-01-04")), "2021-W01.md");
    EXPECT_EQ(Markdown::weekFileName(day("2020-12-28")), "2020-W53.md");
    EXPECT_EQ(Markdown::monthFileName(MonthKey{987, 4}), "0987-04.md");
}

TEST(PlanFiles, WeekFileReplacesItsWeekOnly)
{
    Planner plan;
    plan.days[week5] = {thing("old monday")};
    plan.days[day("2024-02-04")] = {thing("old sunday")};
    plan.days[day("2024-02-05")] = {thing("next week")};
    plan.appliedRepeats[week5] = {"old"};
    Markdown::decodeWeek(u"", week5, plan);
    EXPECT_EQ(describe(plan), "2024-02-05[next week]");
    EXPECT_TRUE(plan.appliedRepeats.isEmpty());

    struct Case { const char* text; const char* plan; };
    const Case cases[] = {
        {"## wed 2024-01-31\n- [ ] only wednesday\n", "2024-01-31[only wednesday]"},
        {"## 2024-01-31\n- [ ] bare date\n", "2024-01-31[bare date]"},
        {"## any words at all 2024-01-31\n- [ ] words\n", "2024-01-31[words]"},
        {"## wed 31.01.2024\n- [ ] other notation\n", ""},
        {"## wed 2024-02-07\n- [ ] another week\n", ""},
        {"## wed 2024-02-30\n- [ ] no such day\n", ""},
        {"- [ ] before any heading\n## \n- [ ] under an empty heading\n", ""},
        {"## mon 2024-01-29\n- [ ] a\n## mon 2024-01-29\n- [ ] b\n", "2024-01-29[a b]"},
        {"## mon 2024-01-29\n\n## tue 2024-01-30\n- [ ] t\n", "2024-01-30[t]"},
        {"#  mon 2024-01-29\n- [ ] one hash\n", ""},
    };
    for (const auto& c : cases) {
        Planner p;
        Markdown::decodeWeek(QString::fromUtf8(c.text), week5, p);
        EXPECT_EQ(describe(p), c.plan) << c.text;
    }
}

TEST(PlanFiles, ReadsTheAppliedRulesComment)
{
    struct Case { const char* text; std::optional<QSet<QString>> applied; };
    const Case cases[] = {
        {"<!-- repeats: b,a,,c-->", QSet<QString>{"a", "b", "c"}},
        {"<!-- repeats:  a , \tb -->", QSet<QString>{"a", "b"}},
        {"<!-- repeats: -->", QSet<QString>{}},
        {" <!-- repeats: a -->", std::nullopt},
        {"<!-- repeats: a -->\n<!-- repeats: z -->", QSet<QString>{"z"}},
        {"## mon 2024-01-29\n<!-- repeats: a -->", std::nullopt},
        {"## \n<!-- repeats: a -->", QSet<QString>{"a"}},
    };
    for (const auto& c : cases) {
        Planner p;
        Markdown::decodeWeek(QString::fromUtf8(c.text), week5, p);
        EXPECT_EQ(p.appliedRepeats.contains(week5) ? std::optional(p.appliedRepeats[week5]) : std::nullopt, c.applied) << c.text;
    }
    Planner p;
    p.appliedRepeats[week5] = {"b", "a", "c"};
    EXPECT_EQ(Markdown::encodeWeek(week5, p).split(u'\n')[1], "<!-- repeats: a,b,c -->");
}

TEST(PlanFiles, RuleIdsTheCommentCannotHoldPlainlySurviveItsRoundTrip)
{
    // Were one lost, the next re-read would apply its rule to the week a second time.
    const QSet<QString> applied{"a,b", "x-->y", " padded ", "%:looks encoded", "plain", "naïve"};
    Planner p;
    p.appliedRepeats[week5] = applied;
    const QString text = Markdown::encodeWeek(week5, p);
    EXPECT_TRUE(text.contains(",naïve,plain -->")) << "ordinary ids stay as they are: " << text.toStdString();
    Planner back;
    Markdown::decodeWeek(text, week5, back);
    EXPECT_EQ(back.appliedRepeats.value(week5), applied) << text.toStdString();
}

TEST(PlanFiles, ReadsListsInOrderUpToTheCap)
{
    const QString eight = "- [ ] above every heading\n## One\n- [ ] a\n## To Read\n## three\n## four\n## five\n## six\n"
                          "## seven\n- [ ] lost\n## eight\n";
    const QList<EventuallyList> lists = Markdown::decodeLists(eight);
    QStringList names;
    for (const auto& l : lists)
        names.append(l.name);
    EXPECT_EQ(names, (QStringList{"one", "to read", "three", "four", "five", "six"}));
    EXPECT_EQ(titles(lists[0].things), QStringList{"a"});
    EXPECT_TRUE(Markdown::decodeLists(u"# eventually\n").isEmpty());
    EXPECT_EQ(Markdown::decodeLists(u"## same\n## same\n").size(), 2);

    // Names are written as they stand, on one line; the reader lower-cases them.
    const QList<EventuallyList> named{{"Work\nStuff", {}}};
    EXPECT_EQ(Markdown::encodeLists(named), "# eventually\n\n## Work Stuff\n");
    EXPECT_EQ(Markdown::decodeLists(Markdown::encodeLists(named)), (QList<EventuallyList>{{"work stuff", {}}}));
}

// A long lists file reads its lists on a few threads: each list must still get its own
// things, in order, and each section its own kept lines, as a short file does.
TEST(PlanFiles, ALongListsFileReadsAsItsListsDoOneByOne)
{
    QString text = QStringLiteral("# eventually\n\nfree text at the top\n");
    const QStringList names{"one", "two", "three", "four", "five", "six", "seven"};
    for (const QString& name : names) {
        text += QStringLiteral("\n## %1\n").arg(name);
        for (int i = 0; i < 600; ++i) {
            text += QStringLiteral("- [ ] %1 %2 {green}\n    - [x] step of %1 %2\n").arg(name).arg(i);
            if (i % 97 == 0)
                text += QStringLiteral("* kept in %1 after %2\n").arg(name).arg(i);
        }
    }
    PlanLayout layout;
    const QList<EventuallyList> lists = Markdown::decodeLists(text, &layout);
    ASSERT_EQ(lists.size(), Planner::listCap);
    for (qsizetype l = 0; l < lists.size(); ++l) {
        SCOPED_TRACE(names[l].toStdString());
        EXPECT_EQ(lists[l].name, names[l]);
        ASSERT_EQ(lists[l].things.size(), 600);
        EXPECT_EQ(lists[l].things[599].title, names[l] + QStringLiteral(" 599"));
        EXPECT_EQ(lists[l].things[42].steps.first().title, QStringLiteral("step of %1 42").arg(names[l]));
        // Alone in a file of its own, the list reads the same.
        const qsizetype from = text.indexOf(QStringLiteral("## ") + names[l]);
        const qsizetype to = l + 1 < names.size() ? text.indexOf(QStringLiteral("## ") + names[l + 1]) : text.size();
        const QList<EventuallyList> alone = Markdown::decodeLists(QStringView(text).sliced(from, to - from));
        ASSERT_EQ(alone.size(), 1);
        EXPECT_EQ(withoutIds(alone.first().things), withoutIds(lists[l].things));
    }
    // Written back as it was read, every kept line stands where it stood.
    EXPECT_EQ(Markdown::encodeLists(lists, &layout), text);
}

TEST(PlanFiles, ReadsMonthThingsUnderAnyHeading)
{
    const QList<Thing> things = Markdown::decodeMonth(u"# 2024-05, roughly\n\n- [ ] a\n## a heading\n- [x] b\n    - [ ] step\n");
    EXPECT_EQ(titles(things), (QStringList{"a", "b"}));
    EXPECT_EQ(things[1].steps.size(), 1);
    EXPECT_TRUE(Markdown::decodeMonth(u"").isEmpty());
}

TEST(PlanFiles, ReadsRepeatLinesThatNameEverything)
{
    struct Case { const char* line; std::optional<RepeatRule> rule; };
    const RepeatRule weekly{"4f0c2a", "water", RepeatKind::Weekly, week5, std::nullopt};
    const Case cases[] = {
        {"- water {weekly} {since:2024-01-29} {id:4f0c2a}", weekly},
        {"- water {id:4f0c2a} {since:2024-01-29} {weekly}", weekly},
        // A brace group that names nothing is the user's text, kept in the title.
        {"- water {weekly} {since:2024-01-29} {id:4f0c2a} {red} {unknown}", RepeatRule{"4f0c2a", "water {unknown}", RepeatKind::Weekly, week5, Mark::Red}},
        {"- {plants} {weekly} {since:2024-01-29} {id:4f0c2a}", RepeatRule{"4f0c2a", "{plants}", RepeatKind::Weekly, week5, std::nullopt}},
        // Of two tags of one kind the one nearer the title wins, an invalid date included.
        {"- water {daily} {since:2024-01-29} {id:4f0c2a} {weekly}", RepeatRule{"4f0c2a", "water", RepeatKind::Daily, week5, std::nullopt}},
        {"- water {weekly} {since:2024-02-30} {since:2024-01-29} {id:4f0c2a}", std::nullopt},
        {"- water {weekly} {since:2024-02-30} {id:4f0c2a}", std::nullopt},
        {"- water {weekly} {id:4f0c2a}", std::nullopt},
        {"- water {since:2024-01-29} {id:4f0c2a}", std::nullopt},
        {"- water {weekly} {since:2024-01-29}", std::nullopt},
        {" - water {weekly} {since:2024-01-29} {id:4f0c2a}", std::nullopt},
        {"- {weekly} {since:2024-01-29} {id:4f0c2a}", std::nullopt},
        {"-water {weekly} {since:2024-01-29} {id:4f0c2a}", std::nullopt},
        {"- water", std::nullopt},
    };
    for (const auto& c : cases) {
        const QList<RepeatRule> rules = Markdown::decodeRepeats(QString::fromUtf8(c.line));
        EXPECT_EQ(rules.isEmpty() ? std::nullopt : std::optional(rules.first()), c.rule) << c.line;
    }
}

TEST(PlanFiles, RuleTitlesAndIdsSurviveARoundTrip)
{
    QList<RepeatRule> rules;
    int n = 0;
    for (const char* title : {"water the plants", "call {mum}", "x {daily}", "{weekly}", "{}", "", "ends {}", "two\nlines"}) {
        rules.append(RepeatRule{QStringLiteral("r%1").arg(n++), QString::fromUtf8(title), RepeatKind::Monthly, week5, Mark::Lavender});
    }
    rules.append(RepeatRule{"odd id {x}", "odd id", RepeatKind::Weekdays, week5, std::nullopt});
    QList<RepeatRule> expected = rules;
    expected[7].title = "two lines";
    EXPECT_EQ(Markdown::decodeRepeats(Markdown::encodeRepeats(rules)), expected);
    EXPECT_TRUE(Markdown::encodeRepeats(rules).contains("- water the plants {monthly} {since:2024-01-29} {id:r0} {lavender}\n"));
}

TEST(PlanFiles, SplitsSectionsAtDoubleHashesOnly)
{
    const QList<MarkdownSection> sections = Markdown::sections(u"top\n# one\n##two\n##   spaced \t\nin\n\n## \nlast\n");
    const QList<MarkdownSection> expected{
        {"", {"top", "# one", "##two"}},
        {"spaced", {"in", ""}},
        {"", {"last", ""}},
    };
    EXPECT_EQ(sections, expected);
}

TEST(PlanFiles, KeepsTagsThatNameAFieldTwice)
{
    // Written by hand: a second mark, a second move count, a second link. The first of
    // each field counts; the others stay on the line, after the thing's own tags, in
    // every file and wherever the thing moves inside it.
    const QString file = "# 2024 week 5\n\n## mon 2024-01-29\n- [ ] call {green} {red}\n- [ ] post {zz} {z3} {from:a} {from:b}\n"
                         "\n## tue 2024-01-30\n\n## wed 2024-01-31\n- [ ] other\n\n## thu 2024-02-01\n\n## fri 2024-02-02\n"
                         "\n## sat 2024-02-03\n\n## sun 2024-02-04\n";
    PlanLayout layout;
    WeekContent week = Markdown::decodeWeek(file, week5, &layout);
    ASSERT_EQ(week.days[0].size(), 2);
    EXPECT_EQ(week.days[0][0].mark, Mark::Green);
    EXPECT_EQ(week.days[0][1].zs, 2);
    EXPECT_EQ(week.days[0][1].link, "a");

    week.days[2].first().done = true;
    week.days[3].append(week.days[0].takeFirst());
    week.days[0].first().mark = Mark::Lavender;
    const QString written = Markdown::encodeWeek(week5, week, &layout);
    EXPECT_TRUE(written.contains("## mon 2024-01-29\n- [ ] post {zz} {lavender} {from:a} {z3} {from:b}\n")) << written.toStdString();
    EXPECT_TRUE(written.contains("## wed 2024-01-31\n- [x] other\n")) << written.toStdString();
    EXPECT_TRUE(written.contains("## thu 2024-02-01\n- [ ] call {green} {red}\n")) << written.toStdString();
    EXPECT_EQ(Markdown::encodeWeek(week5, week, &layout), written);
    const WeekContent back = Markdown::decodeWeek(written, week5);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(withoutIds(back.days[i]), withoutIds(week.days[i])) << i;

    PlanLayout month;
    QList<Thing> things = Markdown::decodeMonth(u"# 2024-05, roughly\n\n- [ ] a {red} {green}\n- [ ] b\n", &month);
    things.removeLast();
    EXPECT_EQ(Markdown::encodeMonth(may, things, &month), "# 2024-05, roughly\n\n- [ ] a {red} {green}\n");
    PlanLayout lists;
    QList<EventuallyList> read = Markdown::decodeLists(u"# eventually\n\n## eventually\n- [ ] a {z} {z9}\n", &lists);
    read.first().things.append(thing("b"));
    EXPECT_EQ(Markdown::encodeLists(read, &lists), "# eventually\n\n## eventually\n- [ ] a {z} {z9}\n- [ ] b\n");
}

TEST(PlanFiles, ARemovedListLeavesItsLinesAfterTheListBeforeAndTheListsPastTheSixthAsText)
{
    const QString file = "# eventually\n\n## one\n- [ ] a\nabout a\n\n## two\nfree text\n- [ ] b\nafter b\n- [ ] c\n"
                         "\n## three\n\n## four\n\n## five\n\n## six\n\n## seven\n- [ ] hidden\n";
    PlanLayout layout;
    QList<EventuallyList> lists = Markdown::decodeLists(file, &layout);
    ASSERT_EQ(lists.size(), 6);
    lists.removeAt(1);
    const QString written = Markdown::encodeLists(lists, &layout);
    EXPECT_EQ(written, "# eventually\n\n## one\n- [ ] a\nabout a\nfree text\nafter b\n\n## three\n\n## four\n\n"
                       "## five\n\n## six\n\n## seven\n<!-- kept as text: lists past the sixth -->\n- [ ] hidden\n");
    EXPECT_EQ(Markdown::encodeLists(lists, &layout), written);
    const QList<EventuallyList> back = Markdown::decodeLists(written);
    EXPECT_EQ(back.size(), 5);
    EXPECT_EQ(withoutIds(back.first().things), withoutIds(lists.first().things));

    // With room again, a new list is written before the kept text and read as a list.
    PlanLayout again;
    QList<EventuallyList> more = Markdown::decodeLists(written, &again);
    more.append(EventuallyList{"added", {}});
    const QString grown = Markdown::encodeLists(more, &again);
    EXPECT_TRUE(grown.endsWith("## six\n\n## added\n\n## seven\n- [ ] hidden\n")) << grown.toStdString();
    EXPECT_EQ(Markdown::decodeLists(grown).size(), 6);

    // A line that the thing before would take for its note opens the list instead.
    PlanLayout quoted;
    QList<EventuallyList> two = Markdown::decodeLists(u"# eventually\n\n## one\n- [ ] a\n\n## two\n    > quoted\n- [ ] b\n", &quoted);
    two.removeLast();
    EXPECT_EQ(Markdown::encodeLists(two, &quoted), "# eventually\n\n## one\n    > quoted\n- [ ] a\n\n");
}

TEST(PlanFiles, AHeadingOfBlanksAndLineBreaksNamesNoList)
{
    PlanLayout layout;
    const QString file = QStringLiteral("# eventually\n\n## \v \v\n- [ ] a\n\n## real\n- [ ] b\n");
    QList<EventuallyList> lists = Markdown::decodeLists(file, &layout);
    ASSERT_EQ(lists.size(), 1);
    EXPECT_EQ(lists.first().name, "real");
    EXPECT_EQ(Markdown::encodeLists(lists, &layout), file);
}
