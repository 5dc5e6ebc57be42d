// The off-screen renderer: what it draws at which size, and that a render that cannot
// be made says why and leaves no file behind.
#include "renderer.h"

#include "appmodel.h"
#include "launch.h"
#include "modelharness.h"
#include "sheets.h"
#include "sheetstub.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <optional>

#include <gtest/gtest.h>

namespace {

const Day today{2026, 3, 4};
const Renderer::Options quick{10};

class RendererTest : public ::testing::Test {
protected:
    QString out(const QString& name) const { return h.root() + "/" + name; }
    ModelHarness h;
    Launch launch;
};

TEST_F(RendererTest, DrawsTheBoardOfTheModeAtTheBoardsSize)
{
    AppModel& m = h.start();
    m.add(QStringLiteral("call the dentist"), Place::onDay(today));
    for (const Mode mode : {Mode::Week, Mode::Month, Mode::Notes}) {
        SCOPED_TRACE(modeRawValue(mode).toStdString());
        m.setMode(mode);
        const QString path = out(modeRawValue(mode) + ".png");
        const Status drawn = Renderer::render(m, launch, path, quick);
        ASSERT_TRUE(drawn) << drawn.errorText().toStdString();
        EXPECT_EQ(QImage(path).size(), QSize(1100, 640));
    }
}

TEST_F(RendererTest, DrawsTheNoteSheetOfTheNamedThingAndTheBoardWhenNoneHasThatTitle)
{
    SheetStubs stubs;
    Renderer::Options stubbed = quick;
    stubbed.sheets = stubs.factories();
    AppModel& m = h.start();
    const auto id = m.add(QStringLiteral("reply to ines"), Place::onDay(today));
    launch.renderNote = QStringLiteral("reply to ines");
    ASSERT_TRUE(Renderer::render(m, launch, out("note.png"), stubbed));
    EXPECT_EQ(QImage(out("note.png")).size(), QSize(640, 520));
    EXPECT_EQ(stubs.made(SheetKind::ThingNote), 1);
    EXPECT_EQ(m.editingNote(), id);

    launch.renderNote = QStringLiteral("Reply to ines");
    ASSERT_TRUE(Renderer::render(m, launch, out("board.png"), stubbed));
    EXPECT_EQ(QImage(out("board.png")).size(), QSize(1100, 640));
}

TEST_F(RendererTest, ARenderThatCannotBeMadeSaysWhyAndWritesNothing)
{
    AppModel& m = h.start();
    m.add(QStringLiteral("reply to ines"), Place::onDay(today));
    struct Case {
        const char* name;
        std::function<void()> arrange;
        QString path;
        const char* says;
    };
    const QList<Case> cases{
        {"no note sheet", [&] { launch.renderNote = QStringLiteral("reply to ines"); }, out("a.png"),
         "nothing to render: there is no note sheet"},
        {"a folder that is not there", [&] { launch.renderNote.reset(); }, out("missing/c.png"), "couldn't write"},
        {"a folder in place of the file", [&] { QDir(h.root()).mkdir("d.png"); }, out("d.png"), "couldn't write"},
    };
    // No sheet for the first, the app's own after.
    Renderer::Options options = quick;
    options.sheets = {};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        if (c.path != out("a.png"))
            options.sheets = quick.sheets;
        const Status drawn = Renderer::render(m, launch, c.path, options);
        ASSERT_FALSE(drawn);
        EXPECT_TRUE(drawn.errorText().startsWith(QString::fromUtf8(c.says))) << drawn.errorText().toStdString();
        EXPECT_FALSE(QFileInfo(c.path).isFile());
    }
}

TEST_F(RendererTest, ReplacesAFileThatIsThereWhole)
{
    AppModel& m = h.start();
    const QString path = out("demo.png");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("an older picture");
    }
    ASSERT_TRUE(Renderer::render(m, launch, path, quick));
    EXPECT_EQ(QImage(path).size(), QSize(1100, 640));
}

} // namespace
