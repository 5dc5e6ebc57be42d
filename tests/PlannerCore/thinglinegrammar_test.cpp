#include "markdown.h"

#include "support/markdowntesting.h"
#include "support/plannertesting.h"
#include "textutil.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

Thing with(Thing t, const std::function<void(Thing&)>& change)
{
    change(t);
    return t;
}

QList<Thing> read(const QStringList& lines)
{
    return withoutIds(Markdown::decodeThings(lines));
}

QList<Thing> roundTrip(const Thing& thing)
{
    return read(Markdown::encode(thing));
}

const QString noteUuid = QStringLiteral("0b5e3f0e-6c4d-4b8a-9e1f-2a3b4c5d6e7f");
const QString syncUuid = QStringLiteral("8F14E45F-CEEA-467F-A0E6-2B2F3C4D5E6F");

} // namespace

TEST(ThingLineGrammar, WritesAndReadsTheWorkedExample)
{
    const Thing dentist = with(plain("book the dentist"), [](Thing& t) {
        t.zs = 2;
        t.mark = Mark::Green;
        t.remind = TimeOfDay{9, 30};
        t.steps = {{"find the number", true}, {"call before noon", false}};
        t.note = "ask about Friday\nbring the card";
    });
    const QStringList lines{
        "- [ ] book the dentist {zz} {green} {at:09:30}",
        "    - [x] find the number",
        "    - [ ] call before noon",
        "    > ask about Friday",
        "    > bring the card",
    };
    EXPECT_EQ(Markdown::encode(dentist), lines);
    EXPECT_EQ(read(lines), QList<Thing>{dentist});

    const QList<Thing> twice = Markdown::decodeThings(lines + lines);
    ASSERT_EQ(twice.size(), 2);
    EXPECT_NE(twice[0].id, twice[1].id);
    EXPECT_FALSE(twice[0].id.isNull());
}

TEST(ThingLineGrammar, ReadsThingLinesTolerantly)
{
    struct Case { QStringList lines; QList<Thing> things; };
    const Case cases[] = {
        {{"- [X] shouted", "- [x] quiet", "- plain bullet"}, {plain("shouted", true), plain("quiet", true), plain("plain bullet")}},
        {{"* star", "-glued", "1. numbered", "> quoted", "# heading", "[ ] no dash"}, {}},
        // A checkbox with nothing after it holds no thing, and no step under a thing.
        {{"- [ ]", "- [x]", "\t- [X]  ", "- [ ] a", "    - [ ]", "    - [x]"}, {plain("a")}},
        {{"- [ ] title {red} {z5} {sync:ABC}"}, {with(plain("title"), [](Thing& t) { t.mark = Mark::Red; t.zs = 5; t.syncID = "ABC"; })}},
        {{"- [ ] glued{red}"}, {plain("glued{red}")}},
        {{"- [ ] {red}", "- [ ]  {sync:ABC} "}, {}},
        {{"  \t- [ ] surrounded by blanks \t "}, {plain("surrounded by blanks")}},
        // Of two tags of one kind, the one nearer the title wins.
        {{"- [ ] two marks {red} {green}"}, {with(plain("two marks"), [](Thing& t) { t.mark = Mark::Red; })}},
        {{"- [ ] a {zzz}", "- [ ] b {z0}", "- [ ] c {zq}", "- [ ] d {z12}", "- [ ] e {z+4}"},
         {with(plain("a"), [](Thing& t) { t.zs = 3; }), plain("b"), plain("c {zq}"),
          with(plain("d"), [](Thing& t) { t.zs = 12; }), with(plain("e"), [](Thing& t) { t.zs = 4; })}},
        // A count that one more move would overflow is capped; a negative one is no
        // count, so it stays the user's text.
        {{"- [ ] f {z2147483647}", "- [ ] g {z-3}", "- [ ] {z-5}"},
         {with(plain("f"), [](Thing& t) { t.zs = 1'000'000; }), plain("g {z-3}"), plain("{z-5}")}},
        {{"- [ ] h {at:7:5}", "- [ ] i {at:24:00}", "- [ ] j {at:noon}"},
         {with(plain("h"), [](Thing& t) { t.remind = TimeOfDay{7, 5}; }), plain("i {at:24:00}"), plain("j {at:noon}")}},
        {{"- [ ] k {unknown} {every:} {from:}"},
         {with(plain("k {unknown}"), [](Thing& t) { t.repeatID = ""; t.link = ""; })}},
        // Brace groups that are no tags are the user's own text and stay in the title,
        // in their place, around the tags that are read.
        {{"- [ ] call {mum}"}, {plain("call {mum}")}},
        {{"- [ ] call {mum} {red} {after} {z}"},
         {with(plain("call {mum} {after}"), [](Thing& t) { t.mark = Mark::Red; t.zs = 1; })}},
        {{"- [ ] {mum}", "- [ ] {red}"}, {plain("{mum}")}},
        // A line break of another kind inside a line reads as the writer would write it.
        {{"- [ ] a\vb\u2028", "    - [ ] s\u2029t\v", "    > n\vm"},
         {with(plain("a b"), [](Thing& t) { t.steps = {{"s t", false}}; t.note = "n\nm"; })}},
        // So does a control character, which the writer never writes.
        {{QStringLiteral("- [ ] nul\0here\x1b {red}"), QStringLiteral("    - [ ] st\x07""ep\u009c")},
         {with(plain("nulhere"), [](Thing& t) { t.mark = Mark::Red; t.steps = {{"step", false}}; })}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(read(c.lines), c.things) << c.lines.join(" | ").toStdString();
}

TEST(ThingLineGrammar, ReadsStepsAndNotesUnderTheLastThing)
{
    struct Case { QStringList lines; QList<Thing> things; };
    const Case cases[] = {
        {{"- [ ] a", "\t- [x] tabbed step", "    - step not done", "    - [ ]   leading blanks kept"},
         {with(plain("a"), [](Thing& t) { t.steps = {{"tabbed step", true}, {"step not done", false}, {"  leading blanks kept", false}}; })}},
        {{"- [ ] a", "  - [ ] two spaces make a thing"}, {plain("a"), plain("two spaces make a thing")}},
        {{"- [ ] a", "    neither step nor note", "    * star"}, {plain("a")}},
        {{"    - [ ] indented first", "    - [ ] its step"},
         {with(plain("indented first"), [](Thing& t) { t.steps = {{"its step", false}}; })}},
        {{"- [ ] a", "    >no space", "    >   padded   "}, {with(plain("a"), [](Thing& t) { t.note = "no space\npadded"; })}},
        // A leading empty note line adds nothing; later ones are kept.
        {{"- [ ] a", "    > ", "    > x", "    > ", "    > y"}, {with(plain("a"), [](Thing& t) { t.note = "x\n\ny"; })}},
        {{"- [ ] a", "    > note of a", "- [ ] b", "    - [x] step of b"},
         {with(plain("a"), [](Thing& t) { t.note = "note of a"; }), with(plain("b"), [](Thing& t) { t.steps = {{"step of b", true}}; })}},
        {{"- [ ] a", "", "    > after a blank line"}, {with(plain("a"), [](Thing& t) { t.note = "after a blank line"; })}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(read(c.lines), c.things) << c.lines.join(" | ").toStdString();
}

TEST(ThingLineGrammar, KeepsOnlyNoteIdsThatAreUuidsAndTheRestAsText)
{
    const QStringList lines{
        "- [ ] a {note:" + noteUuid + "}",
        "- [ ] b {note:../../x}",
        "- [ ] c {note:}",
        "- [ ] d {note%:..%2F..%2Fx}",
        "- [ ] e {note:" + noteUuid.toUpper() + "} {note:not-a-uuid}",
    };
    const QList<Thing> things = read(lines);
    ASSERT_EQ(things.size(), 5);
    EXPECT_EQ(things[0].noteID, noteUuid);
    EXPECT_EQ(things[1].noteID, std::nullopt);
    EXPECT_EQ(things[2].noteID, std::nullopt);
    EXPECT_EQ(things[3].noteID, std::nullopt);
    EXPECT_EQ(things[4].noteID, noteUuid.toUpper());
    // What names no note file is the user's own text ("{note:shopping}"), not a field.
    EXPECT_EQ(titles(things), (QStringList{"a", "b {note:../../x}", "c {note:}", "d {note%:..%2F..%2Fx}", "e {note:not-a-uuid}"}));
    const QList<Thing> shopping = read({"- [ ] buy eggs {note:shopping}"});
    ASSERT_EQ(shopping.size(), 1);
    EXPECT_EQ(shopping[0].title, "buy eggs {note:shopping}");
    EXPECT_EQ(read(Markdown::encode(shopping[0])), shopping);
}

TEST(ThingLineGrammar, WritesTagsInTheirOrderAndOnlyWhenSet)
{
    const Thing everything = with(plain("all", true), [](Thing& t) {
        t.zs = 4;
        t.mark = Mark::Lavender;
        t.repeatID = "4f0c2a";
        t.link = "https://example.com/x?a=1";
        t.remind = TimeOfDay{7, 5};
        t.noteID = noteUuid;
        t.syncID = syncUuid;
    });
    EXPECT_EQ(Markdown::encode(everything),
              QStringList{"- [x] all {z4} {lavender} {every:4f0c2a} {from:https://example.com/x?a=1} {at:07:05} {note:"
                          + noteUuid + "} {sync:" + syncUuid + "}"});
    EXPECT_EQ(Markdown::encode(plain("bare")), QStringList{"- [ ] bare"});
    EXPECT_EQ(Markdown::encode(with(plain("n"), [](Thing& t) { t.note = "a\n\nb"; })),
              (QStringList{"- [ ] n", "    > a", "    > ", "    > b"}));

    struct Count { int zs; const char* tag; };
    for (const Count c : {Count{0, ""}, Count{1, " {z}"}, Count{2, " {zz}"}, Count{3, " {zzz}"}, Count{4, " {z4}"}, Count{120, " {z120}"}}) {
        const Thing t = with(plain("t"), [&](Thing& t) { t.zs = c.zs; });
        EXPECT_EQ(Markdown::encode(t), QStringList{QStringLiteral("- [ ] t") + c.tag}) << c.zs;
        EXPECT_EQ(roundTrip(t), QList<Thing>{t});
    }
}

TEST(ThingLineGrammar, EveryFieldSurvivesARoundTrip)
{
    const Thing full = with(plain("full thing", true), [](Thing& t) {
        t.zs = 7;
        t.mark = Mark::Red;
        t.steps = {{"first", true}, {"a {b}", false}, {"ends {}", true}, {"[ ] box", false}, {"> not a note", false}};
        t.note = "line one\n\nin\tside  it\nlast {red}";
        t.repeatID = "4f0c2a";
        t.link = "vodarazezaza://thing/1";
        t.remind = TimeOfDay{23, 59};
        t.noteID = noteUuid;
        t.syncID = syncUuid;
    });
    QList<Thing> cases{full};
    // Titles the grammar would misread, and ordinary ones, with and without tags.
    for (const char* title : {"call {mum}", "x {sync:ABC}", "water the plants {daily}", "{red}", "{}", "", "x {}",
                              "x {} {}", "trailing guard  {}", "a {b c}", "glued{x}", "[ ] box", "- [x] inner", "> quote",
                              "100% {done}", "tab\tinside", "ünïcödé {ß}", "{a} {b} {c}", "}", "{", "x {", "a}b{c}"}) {
        cases.append(plain(QString::fromUtf8(title)));
        cases.append(with(plain(QString::fromUtf8(title)), [](Thing& t) { t.mark = Mark::Green; t.syncID = syncUuid; }));
    }
    // Links and other values that could not stand in a tag as they are.
    for (const char* link : {"", "plain", "with space", "%20 literal", "a%b", "x} {red}", "{", "}", "{}", "line\nbreak",
                             "cr\rhere", "tab\there", "nbsp\u00a0here", "%", "%%41", "from:x", "https://a.b/?q={x}&y=1 2",
                             "emoji 🗓 and é"}) {
        cases.append(with(plain("linked"), [&](Thing& t) { t.link = QString::fromUtf8(link); }));
        cases.append(with(plain("every"), [&](Thing& t) { t.repeatID = QString::fromUtf8(link); t.syncID = QString::fromUtf8(link); }));
    }
    for (const Thing& thing : cases)
        EXPECT_EQ(roundTrip(thing), QList<Thing>{thing}) << Markdown::encode(thing).join(" | ").toStdString();
}

TEST(ThingLineGrammar, OrdinaryTextIsWrittenAsItStands)
{
    struct Case { const char* title; const char* link; const char* line; };
    const Case cases[] = {
        {"buy stamps", nullptr, "- [ ] buy stamps"},
        {"100% {done", nullptr, "- [ ] 100% {done"},
        {"a {b c}", nullptr, "- [ ] a {b c}"},
        {"glued{x}", nullptr, "- [ ] glued{x}"},
        {"buy stamps", "https://example.com/a%20b?c=d", "- [ ] buy stamps {from:https://example.com/a%20b?c=d}"},
        // A brace group that names no field reads back as it stands; only what would
        // be misread gets the guard.
        {"call {mum}", nullptr, "- [ ] call {mum}"},
        {"buy eggs {note:shopping}", nullptr, "- [ ] buy eggs {note:shopping}"},
        {"{z-5}", nullptr, "- [ ] {z-5}"},
        {"call  {mum}", nullptr, "- [ ] call  {mum} {}"},
        {"x {red}", nullptr, "- [ ] x {red} {}"},
        {"x {sync:ABC}", nullptr, "- [ ] x {sync:ABC} {}"},
        {"x {}", nullptr, "- [ ] x {} {}"},
        {"", nullptr, "- [ ] {}"},
        {"{}", nullptr, "- [ ] {} {}"},
        {"linked", "https://x.org/a b", "- [ ] linked {from%:https://x.org/a%20b}"},
        {"linked", "50% {off}", "- [ ] linked {from%:50%25%20%7Boff%7D}"},
    };
    for (const auto& c : cases) {
        Thing t = plain(QString::fromUtf8(c.title));
        if (c.link)
            t.link = QString::fromUtf8(c.link);
        EXPECT_EQ(Markdown::encode(t), QStringList{QString::fromUtf8(c.line)}) << c.title;
    }
}

TEST(ThingLineGrammar, KeepsEveryFieldOnItsLine)
{
    const Thing t = with(plain(QStringLiteral("one\r\ntwo\rthree\u2028four\u0085five\nsix\0")), [](Thing& t) {
        t.steps = {{QStringLiteral("step\nwith\u2029breaks\0"), false}};
        t.note = "a\rb\r\nc\u2028d\ne";
        t.link = "x\ny";
    });
    const QStringList lines = Markdown::encode(t);
    for (const QString& line : lines)
        EXPECT_FALSE(std::any_of(line.begin(), line.end(), [](QChar c) {
            return pemby::isLineBreak(c) || pemby::isStrayControl(c);
        })) << line.toStdString();
    const QList<Thing> back = read(lines);
    ASSERT_EQ(back.size(), 1);
    EXPECT_EQ(back[0].title, "one two three four five six");
    EXPECT_EQ(back[0].steps, (QList<Step>{{"step with breaks", false}}));
    EXPECT_EQ(back[0].note, "a\nb\nc\nd\ne");
    EXPECT_EQ(back[0].link, "x\ny");
}

TEST(ThingLineGrammar, SplitsTrailingTags)
{
    struct Case { const char* text; const char* title; QStringList tags; };
    const Case cases[] = {
        {"  title {a} {b}  ", "title", {"b", "a"}},
        {"title {a}   {b}", "title", {"b", "a"}},
        {"{a}", "", {"a"}},
        {"title {a b} {c}", "title {a b}", {"c"}},
        {"title{a} {c}", "title{a}", {"c"}},
        {"title {} {c}", "title {}", {"c"}},
        {"title {a} x", "title {a} x", {}},
        {"no braces", "no braces", {}},
        {"", "", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Markdown::splitTags(QString::fromUtf8(c.text)), (TitleAndTags{c.title, c.tags})) << c.text;
}

TEST(ThingLineGrammar, ReadsPercentFormValues)
{
    EXPECT_EQ(Markdown::tagValue(u"from%:a%20b%7D", u"from"), "a b}");
    EXPECT_EQ(Markdown::tagValue(u"from:a%20b", u"from"), "a%20b");
    EXPECT_EQ(Markdown::tagValue(u"from%:%C3%A9", u"from"), "é");
    EXPECT_EQ(Markdown::tagValue(u"from%:%FF", u"from"), std::nullopt);  // not UTF-8
    EXPECT_EQ(Markdown::tagValue(u"fromage:x", u"from"), std::nullopt);
    EXPECT_EQ(Markdown::tagValue(u"sync:x", u"from"), std::nullopt);
    EXPECT_EQ(read({"- [ ] t {from%:%FF}"}), QList<Thing>{plain("t {from%:%FF}")});
}

TEST(ThingLineGrammar, HandWrittenBracesSurviveARewrite)
{
    for (const char* line : {"- [ ] call {mum} {red}", "- [ ] {zoom} call", "- [ ] {mum}", "- [ ] x {at:noon} {z5}",
                             "- [ ] read {chapter-3} {from:https://example.org}"}) {
        const QList<Thing> first = Markdown::decodeThings({QString::fromUtf8(line)});
        ASSERT_EQ(first.size(), 1) << line;
        const QStringList written = Markdown::encode(first.first());
        EXPECT_EQ(withoutIds(Markdown::decodeThings(written)), withoutIds(first)) << line << " -> " << written.join(" | ").toStdString();
    }
}

TEST(ThingLineGrammar, ATitleReadsBackTheSameAfterOneRewrite)
{
    // Found by fuzzing: a guarded title with blanks before its guard.
    for (const char* line : {"- [ ] word  {}", "- [ ] call {sync:1}  {}", "- [ ] a {} {mum}", "- [ ] a  {} {red}"}) {
        const QList<Thing> first = Markdown::decodeThings({QString::fromUtf8(line)});
        ASSERT_EQ(first.size(), 1) << line;
        const QStringList once = Markdown::encode(first.first());
        const QList<Thing> back = Markdown::decodeThings(once);
        EXPECT_EQ(withoutIds(back), withoutIds(first)) << line << " -> " << once.join(" | ").toStdString();
        EXPECT_EQ(Markdown::encode(back.first()), once) << line;
    }
    EXPECT_EQ(read({"- [ ] word  {}"}), QList<Thing>{plain("word")});
}
