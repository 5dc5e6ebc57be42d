#include "randomuuid.h"
#include "textfile.h"
#include "textutil.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cerrno>

#include <sys/resource.h>
#include <sys/stat.h>

#include <thread>

using namespace pemby;

TEST(TextUtil, TrimsBlanksButKeepsLineBreaks)
{
    struct Case { QString in, blanks, whitespace; };
    const Case cases[] = {
        {"  a b \t", "a b", "a b"},
        {"\n a \n", "\n a \n", "a"},
        {QStringLiteral("\u00a0x\u3000"), "x", "x"},
        {QStringLiteral("\u2028x\u0085"), QStringLiteral("\u2028x\u0085"), "x"},
        {"", "", ""},
        {" \t ", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(trimBlanks(c.in), c.blanks) << c.in.toStdString();
        EXPECT_EQ(trimWhitespace(c.in), c.whitespace) << c.in.toStdString();
    }
}

TEST(TextUtil, FlattensAndSplitsEveryLineBreakClass)
{
    const QString text = QStringLiteral("a\r\nb\rc\nd\u2028e\u0085f\u2029g");
    EXPECT_EQ(flattenLineBreaks(text), "a b c d e f g");
    EXPECT_EQ(splitLines(text), (QStringList{"a", "b", "c", "d", "e", "f", "g"}));
    EXPECT_EQ(splitLines(QString("x\n\ny\n")), (QStringList{"x", "", "y", ""}));
}

TEST(TextUtil, FoldedMatchingIgnoresCaseAndDiacritics)
{
    EXPECT_TRUE(containsFolded(u"Crème Brûlée", u"creme brulee"));
    EXPECT_TRUE(containsFolded(u"ＡＢＣ１", u"abc1"));  // full-width forms
    EXPECT_TRUE(containsFolded(u"anything", u""));
    EXPECT_FALSE(containsFolded(u"cafe", u"tea"));
    EXPECT_TRUE(containsIgnoringCase(u"Buy Milk", u"milk"));
    EXPECT_FALSE(containsIgnoringCase(u"café", u"cafe"));
}

TEST(TextUtil, CaselessMatchTakesCanonicallyEquivalentTextsAsEqual)
{
    const QString composed = QStringLiteral("caf\u00e9");
    const QString decomposed = QStringLiteral("cafe\u0301");
    struct Case { QString haystack, needle; bool found; };
    const Case cases[] = {
        {"Buy " + composed, decomposed, true},
        {"Buy " + decomposed, composed, true},
        {"BUY " + composed.toUpper(), decomposed, true},
        {"buy " + decomposed, composed.toUpper(), true},
        {"buy " + decomposed.toUpper(), "CAF\u00c9", true},
        // An accent is part of its letter: the bare letter is another one, in either form.
        {"buy " + composed, "cafe", false},
        {"buy " + decomposed, "cafe", false},
        {QStringLiteral("q\u0303x"), "q", false},   // no composed form: still one character
        {QStringLiteral("q\u0303x"), QStringLiteral("Q\u0303"), true},
        {QStringLiteral("\u1112\u1161\u11ab"), QStringLiteral("\ud55c"), true},  // Hangul jamo and syllable
        {QStringLiteral("\ud55c"), QStringLiteral("\ud558"), false},
        {QStringLiteral("\u039f\u0394\u039f\u03a3"), QStringLiteral("\u03bf\u03b4\u03bf\u03c3"), true},  // final sigma
        {"plain ascii", "ASCII", true},
        {"plain ascii", QStringLiteral("\u00e1"), false},
        {"MILK", QStringLiteral("\u212a"), true},  // the Kelvin sign lowers to k
        {"plain ascii", "", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(containsIgnoringCase(c.haystack, c.needle, QLocale::c()), c.found)
            << c.haystack.toStdString() << " / " << c.needle.toStdString();
    }
}

TEST(TextUtil, CaselessMatchFoldsCaseUnderTheLocale)
{
    const QLocale turkish(QLocale::Turkish, QLocale::Turkey);
    EXPECT_TRUE(containsIgnoringCase(u"\u0130stanbul", u"istanbul", turkish));
    EXPECT_TRUE(containsIgnoringCase(u"ISPARTA", u"\u0131sparta", turkish));
    EXPECT_FALSE(containsIgnoringCase(u"ISPARTA", u"isparta", turkish));  // I is the capital of dotless ı there
    EXPECT_TRUE(containsIgnoringCase(u"ISPARTA", u"isparta", QLocale(QLocale::English)));
}

TEST(TextUtil, TitleTextIsOneLineWithoutControlCharacters)
{
    struct Case { QString in, oneLine, title; };
    const Case cases[] = {
        {"milk\nbread", "milk bread", "milk bread"},
        {"a\r\nb\rc", "a b c", "a b c"},
        {QStringLiteral("a\u2028b\u2029c\u0085d"), "a b c d", "a b c d"},
        {QString::fromUtf16(u"nul\u0000here", 8), "nulhere", "nulhere"},
        {QStringLiteral("bell\u0007 esc\u001b del\u007f c1\u009c."), "bell esc del c1.", "bell esc del c1."},
        {"tab\tstays", "tab\tstays", "tab\tstays"},
        {" \n padded \u2028", "   padded  ", "padded"},
        {QStringLiteral("\u0000\n"), " ", ""},
        // What scripts need stays: joiners, marks, bidi marks.
        {QStringLiteral("\u05e9\u05c1\u200d\u200e\U0001F469\u200D\U0001F4BB"),
         QStringLiteral("\u05e9\u05c1\u200d\u200e\U0001F469\u200D\U0001F4BB"),
         QStringLiteral("\u05e9\u05c1\u200d\u200e\U0001F469\u200D\U0001F4BB")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(oneLineText(c.in), c.oneLine) << c.in.toStdString();
        EXPECT_EQ(titleText(c.in), c.title) << c.in.toStdString();
    }
}

TEST(TextUtil, StrictIntegersAreSignThenAsciiDigits)
{
    struct Case { QString in; std::optional<qint64> out; };
    const Case cases[] = {
        {"0", 0}, {"+7", 7}, {"-12", -12}, {"007", 7},
        {"9223372036854775807", std::numeric_limits<qint64>::max()},
        {"-9223372036854775808", std::numeric_limits<qint64>::min()},
        {"9223372036854775808", std::nullopt}, {"", std::nullopt}, {"-", std::nullopt},
        {" 1", std::nullopt}, {"1 ", std::nullopt}, {"0x1", std::nullopt}, {"1_000", std::nullopt},
        {QStringLiteral("\u0661"), std::nullopt},  // Arabic-Indic digit one
        {"+-1", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseStrictInt(c.in), c.out) << c.in.toStdString();
    EXPECT_EQ(parseStrictInt32(u"2147483648"), std::nullopt);
}

TEST(TextUtil, UuidText)
{
    EXPECT_TRUE(isUuidText(newUuidUpper()));
    EXPECT_TRUE(isUuidText(newUuidLower()));
    const QString upper = newUuidUpper();
    EXPECT_EQ(upper, upper.toUpper());
    EXPECT_TRUE(isUuidText(u"0f8fad5b-d9cb-469f-a165-70867728950e"));
    EXPECT_FALSE(isUuidText(u"{0f8fad5b-d9cb-469f-a165-70867728950e}"));
    EXPECT_FALSE(isUuidText(u"../../x"));
    EXPECT_FALSE(isUuidText(u"0f8fad5b-d9cb-469f-a165-70867728950g"));
    EXPECT_FALSE(isUuidText(u"0f8fad5bd-9cb-469f-a165-70867728950e"));
}

// Every id made is a version 4 UUID with the RFC 4122 variant, none repeats, and each
// thread draws from a generator of its own, seeded apart from the others.
TEST(TextUtil, RandomUuidsAreVersionFourAndDistinct)
{
    const auto draw = [](QSet<QUuid>& into) {
        for (int i = 0; i < 20000; ++i)
            into.insert(randomUuid());
    };
    QSet<QUuid> here, there;
    draw(here);
    std::thread other([&] { draw(there); });
    other.join();
    ASSERT_EQ(here.size(), 20000);
    ASSERT_EQ(there.size(), 20000);
    EXPECT_FALSE(here.intersects(there));
    for (const QUuid& id : std::as_const(here)) {
        ASSERT_EQ(id.version(), QUuid::Random);
        ASSERT_EQ(id.variant(), QUuid::DCE);
    }
    const QString text = newUuidLower();
    EXPECT_EQ(text[14], u'4');
    EXPECT_TRUE(QStringView(u"89ab").contains(text[19]));
}

TEST(TextFileTest, ReadsStrictUtf8AndNormalizesLineEnds)
{
    QTemporaryDir dir;
    auto write = [&](const char* name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return dir.filePath(name);
    };
    const auto lf = readTextFile(write("lf", "a\nb\n"));
    const auto crlf = readTextFile(write("crlf", "\xEF\xBB\xBF" "a\r\nb\r\n"));
    const auto cr = readTextFile(write("cr", "a\rb\r"));
    for (const auto& f : {lf, crlf, cr}) {
        EXPECT_EQ(f.state, TextFile::State::Read);
        EXPECT_EQ(f.text, "a\nb\n");
    }
    EXPECT_EQ(readTextFile(write("bad", "ok \xC3\x28")).state, TextFile::State::Unreadable);
    EXPECT_EQ(readTextFile(dir.filePath("absent")).state, TextFile::State::Missing);
}

TEST(TextFileTest, ReadsOnlyRegularFilesWithinTheCapAndNeverWaits)
{
    // A FIFO would block the open until a writer came, /dev/zero would never end; both
    // must fail at once, as a folder and a file over the cap do, each saying why.
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo.md");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString zero = dir.filePath("zero.md");
    ASSERT_TRUE(QFile::link("/dev/zero", zero));
    const QString folder = dir.filePath("folder.md");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString big = dir.filePath("big.md");
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(64, 'x'));
    }
    const QString link = dir.filePath("link.md");
    ASSERT_TRUE(QFile::link(big, link));
    const QString dangling = dir.filePath("dangling.md");
    ASSERT_TRUE(QFile::link(dir.filePath("nowhere.md"), dangling));
    struct Case { QString path; Links links; const char* why; };
    const Case cases[] = {
        {fifo, Links::Refuse, "it is not a regular file"},
        {zero, Links::Follow, "it is not a regular file"},
        {folder, Links::Refuse, "it is a folder"},
        // Links are taken as they are, whatever they point at, unless asked otherwise.
        {zero, Links::Refuse, "it is a symbolic link"},
        {link, Links::Refuse, "it is a symbolic link"},
        {dangling, Links::Refuse, "it is a symbolic link"},
    };
    for (const Case& c : cases) {
        const TextFile file = readTextFile(c.path, maxTextFileBytes, c.links);
        EXPECT_EQ(file.state, TextFile::State::Unreadable) << c.path.toStdString();
        EXPECT_EQ(file.error, c.why) << c.path.toStdString();
        EXPECT_TRUE(file.notAFile) << c.path.toStdString();
        EXPECT_TRUE(readBytes(c.path, 1024, c.links).errorText().endsWith(c.why)) << c.path.toStdString();
    }
    EXPECT_EQ(readTextFile(big, 63).error, "it is too large (64 bytes, more than 63 bytes)");
    EXPECT_FALSE(readTextFile(big, 63).notAFile);
    EXPECT_EQ(readTextFile(big, 64).text, QString(64, u'x'));
    EXPECT_EQ(readTextFile(link, 64, Links::Follow).text, QString(64, u'x'));
    EXPECT_EQ(readTextFile(dangling, 64, Links::Follow).state, TextFile::State::Missing);
}

// The store trusts a read by the stamp that comes with it: that stamp must be the one
// a look at the name gives while the file stands so, a link's own and none for nothing.
TEST(TextFileTest, AReadGivesTheStampOfWhatItRead)
{
    QTemporaryDir dir;
    const QString plain = dir.filePath("plain.md");
    {
        QFile f(plain);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("- [ ] x\n");
    }
    const QString twice = dir.filePath("twice.md");
    ASSERT_EQ(::link(QFile::encodeName(plain).constData(), QFile::encodeName(twice).constData()), 0);
    const QString link = dir.filePath("link.md");
    ASSERT_TRUE(QFile::link(plain, link));
    const QString folder = dir.filePath("folder.md");
    ASSERT_TRUE(QDir().mkpath(folder));
    struct Case { QString path; TextFile::State state; };
    const Case cases[] = {
        {plain, TextFile::State::Read},
        {twice, TextFile::State::Read},
        {link, TextFile::State::Unreadable},
        {folder, TextFile::State::Unreadable},
        {dir.filePath("absent.md"), TextFile::State::Missing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        std::optional<FileStamp> stamp{FileStamp{}};
        EXPECT_EQ(readTextFile(c.path, stamp).state, c.state);
        EXPECT_EQ(stamp, fileStamp(c.path));
    }
    std::optional<FileStamp> stamp;
    readTextFile(twice, stamp);
    ASSERT_TRUE(stamp);
    EXPECT_EQ(stamp->links, 2u);
    EXPECT_FALSE(settledStamp(std::nullopt));
    // Just written: not settled yet; its times long past, it is.
    EXPECT_FALSE(settledStamp(stamp));
    QFile old(plain);
    ASSERT_TRUE(old.open(QIODevice::ReadWrite));
    ASSERT_TRUE(old.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    old.close();
    stamp.reset();
    readTextFile(plain, stamp);
    ASSERT_TRUE(stamp);
    // The change time moved with the touch, so the stamp is a second old at most.
    EXPECT_FALSE(settledStamp(stamp));
}

TEST(TextFileTest, AtomicWriteReplacesWhatIsAtTheNameAndNeverWritesThroughIt)
{
    QTemporaryDir dir;
    QTemporaryDir elsewhere;
    const auto put = [](const QString& path, const QByteArray& bytes, mode_t mode) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        ::chmod(QFile::encodeName(path).constData(), mode);
    };
    const QString secret = elsewhere.filePath("secret");
    put(secret, "private\n", 0600);
    const QString hard = elsewhere.filePath("hard");
    put(hard, "other name\n", 0640);
    ASSERT_TRUE(QFile::link(secret, dir.filePath("link.md")));
    ASSERT_TRUE(QFile::link(elsewhere.filePath("created"), dir.filePath("dangling.md")));
    ASSERT_EQ(::link(QFile::encodeName(hard).constData(), QFile::encodeName(dir.filePath("hard.md")).constData()), 0);
    put(dir.filePath("own.md"), "old\n", 0604);

    for (const char* name : {"link.md", "dangling.md", "hard.md", "own.md"}) {
        SCOPED_TRACE(name);
        const QString path = dir.filePath(name);
        ASSERT_TRUE(writeTextFileAtomic(path, "new\n").ok());
        const QFileInfo written(path);
        EXPECT_FALSE(written.isSymLink());
        EXPECT_EQ(readTextFile(path).text, "new\n");
    }
    // What the names pointed at is as it was, and nothing was made elsewhere.
    EXPECT_EQ(readTextFile(secret).text, "private\n");
    EXPECT_EQ(readTextFile(hard).text, "other name\n");
    EXPECT_EQ(QDir(elsewhere.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), (QStringList{"hard", "secret"}));
    // A file of the folder keeps its permissions, and no temporary file is left.
    struct stat own {};
    ASSERT_EQ(::stat(QFile::encodeName(dir.filePath("own.md")).constData(), &own), 0);
    EXPECT_EQ(own.st_mode & 07777, 0604u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 4);
    // A folder at the name stays.
    QDir().mkpath(dir.filePath("folder.md"));
    EXPECT_EQ(writeTextFileAtomic(dir.filePath("folder.md"), "x").errorText(), "it is a folder");
}

TEST(TextFileTest, AtomicWriteSaysTheSystemsReason)
{
    // A limit on file sizes fails the write the way a full disk does: halfway, with the
    // system's reason. Nothing of the new text reaches the name, and no temporary file stays.
    QTemporaryDir dir;
    const QString path = dir.filePath("x.md");
    ASSERT_TRUE(writeTextFileAtomic(path, "kept\n").ok());
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const Status failed = writeTextFileAtomic(path, QString(64, u'x'));
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, previous);
    EXPECT_EQ(failed.errorText(), qt_error_string(EFBIG));
    EXPECT_NE(failed.errorText(), "Unknown error");
    EXPECT_EQ(readTextFile(path).text, "kept\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"x.md"});
}

TEST(TextFileTest, StaleTemporaryFilesOfKilledWritesAreRemoved)
{
    QTemporaryDir dir;
    const auto put = [&](const QString& name, qint64 age) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
        f.flush();
        ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-age), QFileDevice::FileModificationTime));
    };
    put(QStringLiteral(".pemby-0a1b2c3d4e.tmp"), 3600);   // a killed write's
    put(QStringLiteral(".pemby-9z8y7x6w5v.tmp"), 5);      // a write under way
    put(QStringLiteral(".pemby-notes.tmp"), 3600);        // not a name we make
    put(QStringLiteral(".pemby-0A1B2C3D4E.tmp"), 3600);
    put(QStringLiteral("2024-W05.md.AbCdEf"), 3600);
    put(QStringLiteral("2024-W05.md"), 3600);
    QDir().mkpath(dir.filePath("sub"));
    QFile::copy(dir.filePath(".pemby-0a1b2c3d4e.tmp"), dir.filePath("sub/.pemby-aaaaaaaaaa.tmp"));

    EXPECT_EQ(removeStaleTemporaryFiles(dir.path()), QStringList{".pemby-0a1b2c3d4e.tmp"});
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{".pemby-0A1B2C3D4E.tmp", ".pemby-9z8y7x6w5v.tmp", ".pemby-notes.tmp", "2024-W05.md",
                           "2024-W05.md.AbCdEf"}));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("sub/.pemby-aaaaaaaaaa.tmp")));
    EXPECT_TRUE(removeStaleTemporaryFiles(dir.filePath("nowhere")).isEmpty());
}

TEST(TextFileTest, SkippedEntriesAreNamedInFew)
{
    EXPECT_EQ(skippedEntriesText({}), "");
    EXPECT_EQ(skippedEntriesText({"a.md"}), "skipped a.md: not a regular file.");
    EXPECT_EQ(skippedEntriesText({"a.md", "b.md"}), "skipped a.md and b.md: not regular files.");
    EXPECT_EQ(skippedEntriesText({"a.md", "b.md", "c.md"}), "skipped a.md, b.md and c.md: not regular files.");
    EXPECT_EQ(skippedEntriesText({"a.md", "b.md", "c.md", "d.md", "e.md"}),
              "skipped a.md, b.md, c.md and 2 more: not regular files.");
}

TEST(TextFileTest, AtomicWriteReportsFailure)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("x.md");
    ASSERT_TRUE(writeTextFileAtomic(path, "héllo\n").ok());
    EXPECT_EQ(readTextFile(path).text, "héllo\n");

    // A folder path under a regular file cannot be written, even by root.
    const Status failed = writeTextFileAtomic(dir.filePath("x.md/inner.md"), "x");
    EXPECT_FALSE(failed.ok());
    EXPECT_FALSE(failed.errorText().isEmpty());

    const auto big = readBytes(path, 3);
    EXPECT_FALSE(big.ok());
    EXPECT_EQ(readBytes(path, 100).value(), QByteArray("h\xC3\xA9llo\n"));
}
