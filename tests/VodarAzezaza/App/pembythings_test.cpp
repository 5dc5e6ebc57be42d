#include "pembyclipboard.h"
#include "pembythings.h"

#include <QDir>
#include <cstdio>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

PembyThing thing(const QString& title, bool done = false, QList<PembyStep> steps = {})
{
    PembyThing t;
    t.title = title;
    t.done = done;
    t.steps = std::move(steps);
    return t;
}

PembyThing full()
{
    PembyThing t = thing("Call the dentist", true, {{"find number", true}, {"ask for friday", false}});
    t.zs = 3;
    t.note = QStringLiteral("before noon\nsecond line");
    t.link = QStringLiteral("https://example.org/a?b=c");
    t.rtf = QByteArray("{\\rtf1 \x00\xff binary}", 18);
    return t;
}

QByteArray urlPayload(const QList<PembyThing>& things)
{
    return PembyThings::encode(things)->toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

} // namespace

void PrintTo(const PembyThing& t, std::ostream* os)
{
    *os << '{' << t.title.toStdString() << (t.done ? " done" : "") << " zs=" << t.zs;
    for (const PembyStep& s : t.steps)
        *os << " [" << (s.done ? "x" : " ") << "] " << s.title.toStdString();
    *os << '}';
}

TEST(PembyThingsParse, Lines)
{
    struct Case {
        const char* name;
        QString text;
        QList<PembyThing> things;
    };
    const QString tab = QStringLiteral("\t");
    const Case cases[] = {
        {"done check box", "- [x] Buy milk", {thing("Buy milk", true)}},
        {"check box without a space is a bullet", "- [ ]Buy", {thing("[ ]Buy")}},
        {"open check boxes", "- [ ] a\n* [ ] b\n\u2610 c", {thing("a"), thing("b"), thing("c")}},
        {"done check boxes", "- [X] a\n* [x] b\n\u2611 c\n- [x]\td", {thing("a", true), thing("b", true), thing("c", true), thing("d", true)}},
        {"no star with capital X", "* [X] a", {thing("[X] a")}},
        {"bullets", "\u2022 a\n- b\n* c", {thing("a"), thing("b"), thing("c")}},
        {"only a marker is a title", "-\n\u2022", {thing("-"), thing("\u2022")}},
        {"numbered with a tab", "12.\tTitle\n-3.\tMinus\n+4.\tPlus", {thing("Title"), thing("Minus"), thing("Plus")}},
        // Numbered list lines lose their numbers as bullets lose their markers, and a
        // check box with nothing after it holds no thing, as in the plan files.
        {"numbered with a space", "1. first\n12.  Title", {thing("first"), thing("Title")}},
        {"a number without its dot stays", "12 Title\n3.5 kg flour", {thing("12 Title"), thing("3.5 kg flour")}},
        {"bare check boxes", "- [ ]\n- [x] \n* [ ]\n\u2610\n\t- [ ]\na", {thing("a")}},
        {"not a number before the dot", "1a.\tx\n.\ty\n99999999999999999999.\tz",
         {thing("1a.\tx"), thing(".\ty"), thing("99999999999999999999.\tz")}},
        {"indented check boxes become steps", "Top\n    - [ ] one\n\t- [x] two",
         {thing("Top", false, {{"one", false}, {"two", true}})}},
        {"an indented check box first is a thing", "    - [ ] first\nsecond", {thing("first"), thing("second")}},
        {"an indented bullet is a thing", "Top\n    - bullet\n    plain", {thing("Top"), thing("bullet"), thing("plain")}},
        {"three spaces are not an indent", "Top\n   - [ ] own", {thing("Top"), thing("own")}},
        {"dividers and blank lines are skipped", "\u2500\u2500\u2500\n\n \t \n- \u2500\na\n\u2500 b", {thing("a"), thing("\u2500 b")}},
        {"direction marks around a marker", "\u200E- [x] a\u200F\n\u200F\u200E\u2022 b", {thing("a", true), thing("b")}},
        {"blanks trimmed, inner ones kept", "  \t a  b \u00A0", {thing("a  b")}},
        {"nothing", "", {}},
        {"CRLF", "a\r\nb\r\n", {thing("a"), thing("b")}},
        {"CR", "a\rb", {thing("a"), thing("b")}},
        {"NEL", "a\u0085b", {thing("a"), thing("b")}},
        {"line and paragraph separators", "a\u2028b\u2029c", {thing("a"), thing("b"), thing("c")}},
        {"CRLF with an indented step", "Top\r\n\t- [x] s\r\n", {thing("Top", false, {{"s", true}})}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PembyThings::parse(c.text), c.things);
    }
}

TEST(PembyThingsCodec, WritesSortedKeysAndOptionalFieldsOnlyWhenPresent)
{
    PembyThing t = full();
    t.rtf = QByteArray("rtf");
    EXPECT_EQ(*PembyThings::encode({t, thing("plain")}),
              QByteArray(R"([{"done":true,"link":"https://example.org/a?b=c","note":"before noon\nsecond line",)"
                         R"("rtf":"cnRm","steps":[{"done":true,"title":"find number"},{"done":false,"title":"ask for friday"}],)"
                         R"("title":"Call the dentist","zs":3},{"done":false,"note":"","steps":[],"title":"plain","zs":0}])"));
    EXPECT_EQ(*PembyThings::encode({}), "[]");
    EXPECT_EQ(PembyThings::plainText({full(), thing("second")}), "Call the dentist\nsecond");
}

TEST(PembyThingsCodec, RoundTripsAndFillsDefaults)
{
    const QList<PembyThing> things{full(), thing("ünïcödé ✓")};
    EXPECT_EQ(PembyThings::decode(*PembyThings::encode(things)), things);

    // Only the title is required; null reads as missing; unknown keys are ignored.
    const auto decoded = PembyThings::decode(
        R"([{"title":"a"},{"title":"b","done":null,"zs":null,"steps":null,"note":null,"link":null,"rtf":null,"x":1},)"
        R"({"title":"c","zs":7.0}])");
    PembyThing c = thing("c");
    c.zs = 7;
    EXPECT_EQ(decoded, (QList<PembyThing>{thing("a"), thing("b"), c}));

    // A count from another app is read within what the plan keeps, from the clipboard,
    // a link payload and a hand-off alike.
    const auto counts = PembyThings::decode(R"([{"title":"a","zs":2147483647},{"title":"b","zs":-3},{"title":"c","zs":1e15}])");
    ASSERT_TRUE(counts);
    EXPECT_EQ(counts->at(0).zs, Thing::maxMoveCount);
    EXPECT_EQ(counts->at(1).zs, 0);
    EXPECT_EQ(counts->at(2).zs, Thing::maxMoveCount);
}

TEST(PembyThingsCodec, AnyKeyOfTheWrongTypeFailsTheWholeDecode)
{
    const char* bad[] = {
        R"([{"title":"a","done":"yes"}])",
        R"([{"title":"a","zs":"1"}])",
        R"([{"title":"a","zs":1.5}])",
        R"([{"title":"a","steps":{}}])",
        R"([{"title":"a","steps":[{"title":"s"}]}])",
        R"([{"title":"a","steps":[{"title":3,"done":true}]}])",
        R"([{"title":"a","steps":[{"title":"s","done":null}]}])",
        R"([{"title":"a","note":1}])",
        R"([{"title":"a","link":2}])",
        R"([{"title":"a","rtf":5}])",
        R"([{"title":"a","rtf":"not base64!"}])",
        R"([{"title":"a","rtf":"cnR"}])",
        R"([{"done":true}])",
        R"([{"title":null}])",
        R"([{"title":"ok"},"text"])",
        R"({"title":"a"})",
        R"([{"title":"a")",
        "",
    };
    for (const char* json : bad) {
        SCOPED_TRACE(json);
        EXPECT_EQ(PembyThings::decode(json), std::nullopt);
    }
}

TEST(PembyThingsCodec, DropsBlankTitlesAndNeverGivesAnEmptyList)
{
    EXPECT_EQ(PembyThings::decode(R"([{"title":" \n\t"},{"title":" keep "}])"), QList<PembyThing>{thing(" keep ")});
    EXPECT_EQ(PembyThings::decode(R"([{"title":" "},{"title":""}])"), std::nullopt);
    EXPECT_EQ(PembyThings::decode("[]"), std::nullopt);
}

TEST(PembyThingsLink, DecodesBase64UrlWithOrWithoutPadding)
{
    // Titles chosen so the payloads need none, one and two "=" and use "-" and "_".
    bool sawUrlLetters = false;
    QList<int> paddings;
    for (const QString& title : {QStringLiteral("a"), QStringLiteral("ab"), QStringLiteral("abc"),
                                 QStringLiteral("?>~\u00FF\u00FE\u00FB")}) {
        SCOPED_TRACE(title.toStdString());
        const QList<PembyThing> things{thing(title)};
        const QByteArray payload = urlPayload(things);
        sawUrlLetters |= payload.contains('-') || payload.contains('_');
        paddings.append(int((4 - payload.size() % 4) % 4));
        EXPECT_EQ(PembyThings::thingsFromLinkPayload(QString::fromLatin1(payload)), things);
        const QByteArray padded = PembyThings::encode(things)->toBase64(QByteArray::Base64UrlEncoding);
        EXPECT_EQ(PembyThings::thingsFromLinkPayload(QString::fromLatin1(padded)), things);
    }
    EXPECT_TRUE(sawUrlLetters);
    EXPECT_TRUE(paddings.contains(0) && paddings.contains(1) && paddings.contains(2));
}

TEST(PembyThingsLink, RefusesOtherAlphabetsAndNonThings)
{
    const QString good = QString::fromLatin1(urlPayload({thing("a")}));
    const QString bad[] = {
        good.left(4) + "!" + good.mid(5),
        good.left(4) + " " + good.mid(4),
        good + "\n",
        good.left(4) + "=" + good.mid(4),
        good + "a",                               // leaves one character over: three "=" would be needed
        good.left(4) + QChar(0x00E9) + good.mid(5),
        QString(),
        QString::fromLatin1(QByteArray("[]").toBase64()),
        QString::fromLatin1(QByteArray("not json").toBase64()),
    };
    for (const QString& payload : bad) {
        SCOPED_TRACE(payload.toStdString());
        EXPECT_EQ(PembyThings::thingsFromLinkPayload(payload), std::nullopt);
    }
}

TEST(PembyThingsClipboard, CopyWritesTextJsonAndTheRtfOfASingleThing)
{
    struct Case {
        const char* name;
        QList<PembyThing> things;
        QStringList formats;
    };
    PembyThing plain = full();
    plain.rtf.reset();
    const QString json = PembyThings::mimeType;
    const Case cases[] = {
        {"one thing with rtf", {full()}, {"text/plain", json, "text/rtf"}},
        {"one thing without rtf", {plain}, {"text/plain", json}},
        {"two things with rtf", {full(), full()}, {"text/plain", json}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QMimeData mime;
        mime.setHtml("<b>old</b>");
        PembyThings::copy(c.things, mime);
        QStringList formats = mime.formats();
        formats.sort();
        QStringList expected = c.formats;
        expected.sort();
        EXPECT_EQ(formats, expected);
        EXPECT_EQ(mime.text(), PembyThings::plainText(c.things));
        EXPECT_EQ(PembyThings::decode(mime.data(json)), c.things);
        if (c.formats.contains("text/rtf")) {
            EXPECT_EQ(mime.data("text/rtf"), *full().rtf);
        }
        EXPECT_EQ(PembyThings::paste(&mime), c.things);
    }

    QMimeData untouched;
    untouched.setText("keep");
    PembyThings::copy({}, untouched);
    EXPECT_EQ(untouched.formats(), QStringList{"text/plain"});
    EXPECT_EQ(untouched.text(), "keep");
}

TEST(PembyThingsClipboard, PasteFallsBackToTheText)
{
    struct Case {
        const char* name;
        std::optional<QByteArray> json;
        std::optional<QString> text;
        QList<PembyThing> things;
    };
    const Case cases[] = {
        {"records win over the text", *PembyThings::encode({full()}), "other", {full()}},
        {"no records", std::nullopt, "a\n\t- [x] s", {thing("a", false, {{"s", true}})}},
        {"empty records", QByteArray(), "a", {thing("a")}},
        {"no records left after blank titles", R"([{"title":" "}])", "a", {thing("a")}},
        {"records that do not decode", "{nope", "a", {thing("a")}},
        {"nothing at all", std::nullopt, std::nullopt, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QMimeData mime;
        if (c.json)
            mime.setData(PembyThings::mimeType, *c.json);
        if (c.text)
            mime.setText(*c.text);
        EXPECT_EQ(PembyThings::paste(&mime), c.things);
    }
    EXPECT_TRUE(PembyThings::paste(nullptr).isEmpty());
}

TEST(PembyThingsClipboard, RoundTripsThroughTheSystemClipboard)
{
    const std::unique_ptr<PembyClipboard> clipboard = pemby::systemClipboard();
    auto mime = std::make_unique<QMimeData>();
    PembyThings::copy({full(), thing("b")}, *mime);
    clipboard->setMimeData(std::move(mime));
    EXPECT_EQ(PembyThings::paste(clipboard->mimeData()), (QList<PembyThing>{full(), thing("b")}));
    EXPECT_EQ(PembyThings::paste(pemby::systemClipboard()->mimeData()), (QList<PembyThing>{full(), thing("b")}));
}

TEST(PembyThingsHandoff, TheFileIsGoneAfterEveryTake)
{
    struct Case {
        const char* name;
        std::optional<QByteArray> contents;
        QList<PembyThing> things;
    };
    const Case cases[] = {
        {"things waiting", *PembyThings::encode({full(), thing("b")}), {full(), thing("b")}},
        {"undecodable", QByteArray("\xff\xfe garbage"), {}},
        {"no things left", QByteArray(R"([{"title":""}])"), {}},
        {"empty", QByteArray(), {}},
        {"absent", std::nullopt, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        if (c.contents) {
            QFile file(QDir(folder.path()).filePath(PembyThings::handoffFileName));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(*c.contents);
        }
        EXPECT_EQ(PembyThings::takeHandoff(folder.path()), c.things);
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{});
        EXPECT_TRUE(PembyThings::takeHandoff(folder.path()).isEmpty());
    }
}

// The sibling hands over again while a take is under way: whatever step it comes
// after, its new file is either what this take returns or still there for the next.
TEST(PembyThingsHandoff, AHandoffWrittenDuringATakeIsNeverRemoved)
{
    using Step = PembyThings::HandoffStep;
    struct Case {
        const char* name;
        Step after;
        QList<PembyThing> taken;  // by the take the sibling wrote during
        QList<PembyThing> next;   // by the take after it
    };
    const QList<PembyThing> first{thing("first")};
    const QList<PembyThing> second{thing("second")};
    const Case cases[] = {
        // Written over before the claim: the sibling replaced its own hand-off.
        {"after the look", Step::Looked, second, {}},
        {"after the claim", Step::Claimed, first, second},
        {"after the read", Step::Read, first, second},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        const QString path = QDir(folder.path()).filePath(PembyThings::handoffFileName);
        // As the sibling writes it: a whole file renamed onto the name.
        const auto handOver = [&](const QList<PembyThing>& things) {
            const QString temporary = path + ".writing";
            QFile file(temporary);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(*PembyThings::encode(things));
            file.close();
            ASSERT_EQ(std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()), 0);
        };
        handOver(first);
        int writes = 0;
        EXPECT_EQ(PembyThings::takeHandoff(folder.path(),
                                           [&](Step step) {
                                               if (step == c.after && writes++ == 0)
                                                   handOver(second);
                                           }),
                  c.taken);
        EXPECT_EQ(writes, 1);
        EXPECT_EQ(PembyThings::takeHandoff(folder.path()), c.next);
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{});
    }
}

TEST(PembyThingsConversion, ToAndFromPlannerThings)
{
    PembyThing record = full();
    record.title = QStringLiteral(" \tCall the dentist\n");
    const Thing made = record.toThing();
    const Thing again = record.toThing();
    EXPECT_FALSE(made.id.isNull());
    EXPECT_NE(made.id, again.id);
    EXPECT_EQ(made.title, "Call the dentist");
    EXPECT_TRUE(made.done);
    EXPECT_EQ(made.zs, 3);
    EXPECT_EQ(made.steps, (QList<Step>{{"find number", true}, {"ask for friday", false}}));
    EXPECT_EQ(made.note, record.note);
    EXPECT_EQ(made.link, record.link);
    EXPECT_FALSE(made.mark || made.repeatID || made.remind || made.noteID || made.syncID);

    Thing planned = made;
    planned.mark = Mark::Red;
    planned.noteID = QStringLiteral("n");
    planned.syncID = QStringLiteral("S");
    PembyThing expected = full();
    expected.rtf.reset();
    EXPECT_EQ(PembyThing::fromThing(planned), expected);

    // Another app's count beyond what the plan keeps is held at the most a move can
    // reach, so the next roll-over cannot overflow it.
    for (const qint64 zs : {qint64(1) << 40, qint64(std::numeric_limits<int>::max())}) {
        record.zs = zs;
        Thing rolled = record.toThing();
        EXPECT_EQ(rolled.zs, Thing::maxMoveCount);
        rolled.countMove();
        EXPECT_EQ(rolled.zs, Thing::maxMoveCount);
    }
    record.zs = -5;
    EXPECT_EQ(record.toThing().zs, 0);
}
