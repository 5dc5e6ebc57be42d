// The pixel font: registered once for the process from the embedded file, drawn as its
// grids say on whole pixels at the two sizes the app uses, with every character the app
// shows in it; an unwritable caches folder still gives the font.
#include "appmodel.h"
#include "pembyfont.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Glyph {
    QChar ch;
    QStringList rows;
};

// The font's source: the grids kept in the repository beside the generator.
QList<Glyph> sourceGlyphs()
{
    QFile file(QDir::cleanPath(QStringLiteral(PEMBY_TEST_DATA "/../../../../src/VodarAzezaza/Brand/font/pembypixel.txt")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    QList<Glyph> glyphs;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!lines[i].startsWith(QLatin1String("glyph ")))
            continue;
        const QString name = lines[i].mid(6);
        Glyph g;
        g.ch = name.startsWith(QLatin1String("U+")) ? QChar(char16_t(name.mid(2).toUInt(nullptr, 16))) : name.at(0);
        g.rows = lines.mid(i + 1, 9);
        glyphs.append(g);
    }
    return glyphs;
}

// Every text the app sets in the pixel font, and what a user may type into a list name.
QString shownTexts()
{
    QStringList texts = AppModel::dayNames() + AppModel::monthNames();
    texts << QStringLiteral("january february march april may june july august september october november december")
          << QStringLiteral("mar 31-apr 6") << QStringLiteral("no date yet.") << QStringLiteral("nothing planned. suspicious.")
          << QStringLiteral("nothing here. suspicious.") << QStringLiteral("focus") << QStringLiteral("today")
          << QStringLiteral("tomorrow") << QStringLiteral("notes") << QStringLiteral("roughly")
          << QStringLiteral("jan, roughly") << QStringLiteral("eventually");
    QString all = texts.join(QLatin1Char(' '));
    for (char16_t c = 0x20; c < 0x7f; ++c)
        all.append(QChar(c));
    return all + QStringLiteral("\u00b7\u2026\u2019");
}

} // namespace

TEST(PembyFont, RegistersOnceFromTheCachesFolder)
{
    QTemporaryDir home;
    qputenv("XDG_CACHE_HOME", home.path().toUtf8());
    const QString written = QDir(home.path()).filePath(PembyFont::fileName());

    EXPECT_FALSE(PembyFont::isRegistered());
    PembyFont::registerFont();
    EXPECT_TRUE(PembyFont::isRegistered());
    EXPECT_TRUE(QFontDatabase::families().contains(PembyFont::family()));
    QFile file(written);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), PembyFont::embedded());
    file.close();

    // A second call writes nothing.
    ASSERT_TRUE(QFile::remove(written));
    PembyFont::registerFont();
    EXPECT_FALSE(QFileInfo::exists(written));
    qunsetenv("XDG_CACHE_HOME");
}

TEST(PembyFont, AnUnwritableCachesFolderStillGivesTheFont)
{
    QTemporaryDir root;
    // A regular file stands where the folder should be: no one can write there, root
    // included.
    QFile blocker(root.filePath(QStringLiteral("cache")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const int id = PembyFont::install(PembyFont::embedded(), root.filePath(QStringLiteral("cache/fonts")));
    ASSERT_GE(id, 0);
    EXPECT_EQ(QFontDatabase::applicationFontFamilies(id), QStringList{PembyFont::family()});

    // Nor is a folder in the file's place loaded as the font.
    const QString folder = root.filePath(QStringLiteral("taken"));
    ASSERT_TRUE(QDir().mkpath(QDir(folder).filePath(PembyFont::fileName())));
    EXPECT_GE(PembyFont::install(PembyFont::embedded(), folder), 0);
}

TEST(PembyFont, HasAGlyphForEveryCharacterTheAppShowsInIt)
{
    PembyFont::install(PembyFont::embedded(), QDir::tempPath());
    for (const int px : {20, 30}) {
        SCOPED_TRACE(px);
        const QRawFont raw = QRawFont::fromFont(PembyFont::font(px));
        ASSERT_TRUE(raw.isValid());
        ASSERT_EQ(raw.familyName(), PembyFont::family());
        EXPECT_EQ(raw.ascent(), px * 0.8);
        EXPECT_EQ(raw.descent(), px * 0.2);
        for (const QChar ch : shownTexts())
            EXPECT_TRUE(raw.supportsCharacter(ch)) << "no glyph for U+" << QString::number(ch.unicode(), 16).toStdString();
    }
}

TEST(PembyFont, DrawsItsGridsOnWholePixelsAt20And30)
{
    PembyFont::install(PembyFont::embedded(), QDir::tempPath());
    const QList<Glyph> glyphs = sourceGlyphs();
    ASSERT_GT(glyphs.size(), 95);
    for (const int px : {20, 30}) {
        const int s = px / 10;  // screen pixels per font pixel
        const QFont font = PembyFont::font(px);
        const QRawFont raw = QRawFont::fromFont(font);
        for (const Glyph& g : glyphs) {
            SCOPED_TRACE(QStringLiteral("%1 at %2 px").arg(g.ch).arg(px).toStdString());
            const int w = int(g.rows.first().size());
            const auto indexes = raw.glyphIndexesForString(QString(g.ch));
            ASSERT_EQ(indexes.size(), 1);
            EXPECT_EQ(raw.advancesForGlyphIndexes(indexes).first().x(), (w + 1) * s);

            // Drawn one screen pixel in from the left, on a baseline 8 font pixels down.
            QImage image((w + 2) * s, 10 * s, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter p(&image);
            p.setFont(font);
            p.setPen(Qt::black);
            p.drawText(QPointF(s, 8 * s), QString(g.ch));
            p.end();
            int wrong = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const int row = y / s - 1;  // row 0 of the grid is 7 pixels above the baseline
                    const int col = x / s - 1;
                    const bool ink = row >= 0 && row < 9 && col >= 0 && col < w && g.rows[row][col] == QLatin1Char('#');
                    const int grey = qGray(image.pixel(x, y));
                    wrong += ink ? grey != 0 : grey != 255;
                }
            EXPECT_EQ(wrong, 0);
        }
    }
}
