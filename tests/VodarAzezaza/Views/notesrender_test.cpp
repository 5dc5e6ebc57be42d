// Draws the note sheet (640 x 520) and the notes screen (1100 x 640), light and dark,
// into PNG files to look at: note-sheet-light.png, note-sheet-dark.png,
// notes-screen-light.png and notes-screen-dark.png in the working folder (or in
// PEMBY_RENDER_DIR), and the sheet with a misspelt word and its find bar open
// (note-sheet-find-light.png, note-sheet-find-dark.png). Each picture is checked for
// its size and its background.
#include "appearance.h"
#include "findbar.h"
#include "modelharness.h"
#include "noteeditor.h"
#include "notelist.h"
#include "notesheet.h"
#include "notesmodel.h"
#include "notesview.h"
#include "notetext.h"
#include "notetextview.h"
#include "owntrash.h"
#include "pembyfont.h"
#include "richtext.h"
#include "spellingmarks.h"
#include "thingnotes.h"
#include "wordlist.h"

#include <QApplication>
#include <QDir>
#include <QRegularExpression>
#include <QTextBlock>
#include <QFile>
#include <QLineEdit>
#include <QTest>

#include <functional>

#include <gtest/gtest.h>

#include <iostream>

namespace {

using namespace std::chrono_literals;

const Day monday{2026, 3, 2};
const Day today{2026, 3, 4};

QString outputPath(const QString& name)
{
    const QString dir = qEnvironmentVariable("PEMBY_RENDER_DIR", QDir::currentPath());
    return QDir(dir).filePath(name);
}

// A note as people write them: a title, a heading, a list, a checklist, a body line.
std::unique_ptr<QTextDocument> groceries()
{
    return noteText({{QStringLiteral("Saturday market"), 28},
                     {QStringLiteral("oat milk, the one with the blue cap")},
                     {QStringLiteral("Stalls"), 21},
                     {QStringLiteral("\u2022\tbread from the corner bakery")},
                     {QStringLiteral("\u2022\ttwo kinds of apples")},
                     {QStringLiteral("Before leaving"), 17},
                     {QStringLiteral("\u2611\tcheck the bike tyres")},
                     {QStringLiteral("\u2610\tbring the big bag")},
                     {QStringLiteral("and don't buy more plants.")}});
}

class NotesRender : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        useOwnTrash();
        PembyFont::install(PembyFont::embedded(), QDir::tempPath());
    }

    // Shows the note sheet of `id` in the light and then the dark appearance, and hands
    // each to `look`.
    void inEachScheme(const QUuid& id, const std::function<void(NoteSheet&, ColorScheme)>& look)
    {
        for (const ColorScheme scheme : {ColorScheme::Light, ColorScheme::Dark}) {
            SCOPED_TRACE(scheme == ColorScheme::Dark ? "dark" : "light");
            Appearance appearance({scheme, nullptr, {}});
            appearance.makeAppWide();
            QCoreApplication::processEvents();
            h.model().setEditingNote(id);
            NoteSheet sheet(h.model(), NoteSheet::Target(id));
            sheet.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
            QTest::qWait(50);
            look(sheet, scheme);
        }
    }

    void put(const QString& id, const QByteArray& data, const QDateTime& modified) const
    {
        QDir().mkpath(h.notesAppFolder());
        QFile f(h.notesAppFolder() + u'/' + id + QStringLiteral(".rtf"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(data);
        ASSERT_TRUE(f.flush());
        ASSERT_TRUE(f.setFileTime(modified, QFileDevice::FileModificationTime));
    }

    // The picture's corner is the screen's own background.
    static void expectBackground(const QImage& image, ColorScheme scheme, QPoint at)
    {
        const QColor expected = Palette::pembyBackground.in(scheme);
        const QColor got = image.pixelColor(at);
        EXPECT_LT(std::abs(got.red() - expected.red()) + std::abs(got.green() - expected.green())
                      + std::abs(got.blue() - expected.blue()),
                  12)
            << got.name().toStdString() << " for " << expected.name().toStdString();
    }

    static void save(const QImage& image, const QString& name)
    {
        const QString path = outputPath(name);
        ASSERT_TRUE(image.save(path)) << path.toStdString();
        std::cout << "wrote " << path.toStdString() << std::endl;
    }

    ModelHarness h;
};

} // namespace

TEST_F(NotesRender, TheNoteSheet)
{
    h.put(QStringLiteral("2026-W10.md"), weekFile(monday, {{today, {"- [ ] saturday market run"}}}));
    h.start();
    const QUuid id = idOf(h.model().planner(), QStringLiteral("saturday market run"));
    auto text = groceries();
    ASSERT_TRUE(h.model().thingNotes().saveNote(id, RichText::encode(*text, {}, {}, std::nullopt), pemby::documentText(*text)));

    inEachScheme(id, [&](NoteSheet& sheet, ColorScheme scheme) {
        const QImage image = sheet.grab().toImage();
        EXPECT_EQ(image.size() / image.devicePixelRatio(), NoteSheet::sheetSize);
        expectBackground(image, scheme, QPoint(2, image.height() - 3));
        save(image, scheme == ColorScheme::Dark ? QStringLiteral("note-sheet-dark.png") : QStringLiteral("note-sheet-light.png"));
    });
}

TEST_F(NotesRender, TheNoteSheetWithAMisspeltWordAndTheFindBar)
{
    h.put(QStringLiteral("2026-W10.md"), weekFile(monday, {{today, {"- [ ] saturday market run"}}}));
    h.start();
    const QUuid id = idOf(h.model().planner(), QStringLiteral("saturday market run"));
    auto text = groceries();
    QTextCursor c = text->find(QStringLiteral("bakery"));
    c.insertText(QStringLiteral("bakrey"));
    ASSERT_TRUE(h.model().thingNotes().saveNote(id, RichText::encode(*text, {}, {}, std::nullopt), pemby::documentText(*text)));
    // Every word of the note is known but the misspelt one.
    QStringList known = pemby::documentText(*groceries()).split(QRegularExpression(QStringLiteral("\\W+")));
    known.append(QStringLiteral("don't"));
    WordList words({{QStringLiteral("en"), known}});
    SharedSpelling spelling(words);

    inEachScheme(id, [&](NoteSheet& sheet, ColorScheme scheme) {
        NoteTextView* view = sheet.editor().textView();
        view->spelling()->checkAll();
        QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
        QTest::keyClicks(sheet.editor().findBar()->findField(), QStringLiteral("bread"));
        QTest::qWait(50);
        const QImage image = sheet.grab().toImage();
        EXPECT_EQ(image.size() / image.devicePixelRatio(), NoteSheet::sheetSize);
        const QTextBlock marked = view->document()->findBlockByNumber(3);
        EXPECT_EQ(view->spelling()->marks(marked).size(), 1);
        EXPECT_EQ(view->textCursor().selectedText(), QStringLiteral("bread"));
        // The bar sits along the bottom of the sheet.
        FindBar* bar = sheet.editor().findBar();
        EXPECT_EQ(bar->mapTo(&sheet, QPoint(0, bar->height())).y(), NoteSheet::sheetSize.height());
        save(image, scheme == ColorScheme::Dark ? QStringLiteral("note-sheet-find-dark.png")
                                                : QStringLiteral("note-sheet-find-light.png"));
    });
}

TEST_F(NotesRender, TheNotesScreen)
{
    const QDateTime now = QDateTime(today.date(), QTime(10, 0), QTimeZone::utc());
    put(QStringLiteral("market"), RichText::encode(*groceries(), {1}, {}, std::nullopt), now.addSecs(-3600));
    const struct {
        const char* id;
        const char* text;
        int daysAgo;
    } more[] = {
        {"books", "Books to read\nthe one about the lighthouse keeper, then anything short", 1},
        {"trip", "Trip to the coast\ntrains leave at 7:42 and 9:10", 3},
        {"ideas", "Ideas\na planner that plans itself. suspicious.", 9},
        {"rent", "Rent\npay on the first, the landlord prefers a transfer", 20},
        {"recipes", "Soup recipes\nleek and potato, tomato with too much basil", 45},
        {"untitled", "", 70},
        {"old", "Old passwords list\n(don't keep this)", 400},
    };
    for (const auto& m : more)
        put(QString::fromLatin1(m.id), RichText::encode(*RichText::plain(QString::fromUtf8(m.text)), {}, {}, std::nullopt),
            now.addDays(-m.daysAgo));
    h.start();
    h.model().setMode(Mode::Notes);

    for (const ColorScheme scheme : {ColorScheme::Light, ColorScheme::Dark}) {
        SCOPED_TRACE(scheme == ColorScheme::Dark ? "dark" : "light");
        Appearance appearance({scheme, nullptr, {}});
        appearance.makeAppWide();
        QCoreApplication::processEvents();
        NotesView view(h.model());
        view.resize(1100, 640);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        h.model().notes().select(QStringLiteral("market"));
        // The pointer rests on another row.
        const QRect trip = view.list()->listView()->rowRect(QStringLiteral("trip"));
        QTest::mouseMove(view.list()->listView()->viewport(), trip.center());
        QTest::qWait(200);
        const QImage image = view.grab().toImage();
        EXPECT_EQ(image.size() / image.devicePixelRatio(), QSize(1100, 640));
        expectBackground(image, scheme, QPoint(image.width() - 3, image.height() - 3));
        save(image, scheme == ColorScheme::Dark ? QStringLiteral("notes-screen-dark.png") : QStringLiteral("notes-screen-light.png"));

        // And with nothing picked and nothing found.
        h.model().notes().select(std::nullopt);
        h.model().notes().setQuery(QStringLiteral("lighthouse keepers' soup"));
        QTest::qWait(20);
        save(view.grab().toImage(),
             scheme == ColorScheme::Dark ? QStringLiteral("notes-empty-dark.png") : QStringLiteral("notes-empty-light.png"));
        h.model().notes().setQuery(QString());
    }
}
