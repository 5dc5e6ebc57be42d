// The inline edit field finishes exactly once: Return commits and keeps going, losing
// the keys commits, Escape cancels, a field that never gets the keys cancels, and a
// field the model takes away commits what was typed (a new thing) or nothing (a rename).
#include "boardselection.h"
#include "editfield.h"
#include "modelharness.h"

#include <QApplication>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPointer>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

const Day today{2026, 3, 4};

// Log lines of the "drag" category, as the field writes them.
QStringList* captured = nullptr;
QtMessageHandler previousHandler = nullptr;
void capture(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (captured && context.category && QByteArray(context.category) == "app.pemby.planner.drag")
        captured->append(message);
    else if (previousHandler)
        previousHandler(type, context, message);
}

struct LogCapture {
    QStringList lines;
    LogCapture()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("app.pemby.planner.drag.info=true"));
        captured = &lines;
        previousHandler = qInstallMessageHandler(capture);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(previousHandler);
        captured = nullptr;
    }
};

// What a column does with its new-thing line: adds on commit, opens a fresh field after
// Return, leaves editing otherwise, and takes the field away when the model stops
// editing here.
class NewThingLine {
public:
    NewThingLine(AppModel& model, QWidget* host) : model_(model), host_(host)
    {
        follow_ = QObject::connect(&model_, &AppModel::editingChanged, host_, [this] {
            if (model_.editing() != Editing::newThing(place) && field)
                field->deleteLater();
        });
    }
    ~NewThingLine() { QObject::disconnect(follow_); }

    void open()
    {
        model_.setEditing(Editing::newThing(place));
        field = new EditField(
            QString(), QString(), QFont(), false,
            [this](const QString& text, EditField::Ending how) {
                endings.append(how);
                const auto id = model_.add(text, place);
                if (id)
                    model_.selection().select(*id);
                if (id && EditField::keepsGoing(how))
                    return;  // a column opens a fresh field here
                if (model_.editing() == Editing::newThing(place))
                    model_.setEditing(std::nullopt);
            },
            [this] {
                ++cancels;
                model_.setEditing(std::nullopt);
            },
            host_);
        AppModel* model = &model_;
        const Place at = place;
        field->commitOnRemoval(model, [model, at](const QString& text) { model->add(text, at); });
        host_->layout()->addWidget(field);
        field->show();
    }

    const Place place = Place::onDay(today);
    QPointer<EditField> field;
    QList<EditField::Ending> endings;
    int cancels = 0;

private:
    AppModel& model_;
    QWidget* host_;
    QMetaObject::Connection follow_;
};

class EditFieldTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host.setLayout(new QVBoxLayout);
        other = new QLineEdit(&host);
        host.layout()->addWidget(other);
        host.resize(300, 120);
        host.show();
        host.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    }

    // Lets the field's checks run to their end.
    void settle() { QTest::qWait(6 * EditField::checkDelayMs); }

    QWidget host;
    QLineEdit* other = nullptr;
};

enum class Act { Return, ReturnThenLeave, Leave, Escape, EscapeThenLeave, TeardownTyped, TeardownBlank, HideTyped };

struct ProtocolCase {
    const char* name;
    const char* typed;
    Act act;
    QStringList added;
    QList<EditField::Ending> endings;
    int cancels;
    bool stillEditing;
};

} // namespace

TEST_F(EditFieldTest, FinishesExactlyOnceWhicheverComesFirst)
{
    using E = EditField::Ending;
    const ProtocolCase cases[] = {
        {"Return commits and keeps going", "buy milk", Act::Return, {"buy milk"}, {E::Return}, 0, true},
        {"the focus loss after Return adds nothing more", "buy milk", Act::ReturnThenLeave, {"buy milk"}, {E::Return},
         0, true},
        {"losing the keys commits without going on", "buy milk", Act::Leave, {"buy milk"}, {E::KeysLost}, 0, false},
        {"Escape cancels", "buy milk", Act::Escape, {}, {}, 1, false},
        {"no commit when the focus goes after Escape", "buy milk", Act::EscapeThenLeave, {}, {}, 1, false},
        {"a model change that takes the field keeps the typed text", "buy milk", Act::TeardownTyped, {"buy milk"},
         {}, 0, false},
        {"taken away with blank text adds nothing", "   ", Act::TeardownBlank, {}, {}, 0, false},
        {"hidden by its view with typed text keeps it", "buy milk", Act::HideTyped, {"buy milk"}, {}, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness fresh;
        AppModel* model = &fresh.start();
        NewThingLine line(*model, &host);
        line.open();
        ASSERT_TRUE(QTest::qWaitFor([&] { return line.field && line.field->hasFocus(); }, 1000));
        QTest::keyClicks(line.field, QString::fromUtf8(c.typed));

        switch (c.act) {
        case Act::Return:
            QTest::keyClick(line.field, Qt::Key_Return);
            break;
        case Act::ReturnThenLeave:
            QTest::keyClick(line.field, Qt::Key_Return);
            QTest::mouseClick(other, Qt::LeftButton);
            break;
        case Act::Leave:
            QTest::mouseClick(other, Qt::LeftButton);
            break;
        case Act::Escape:
            QTest::keyClick(line.field, Qt::Key_Escape);
            break;
        case Act::EscapeThenLeave:
            QTest::keyClick(line.field, Qt::Key_Escape);
            if (line.field) {
                QTest::mouseClick(other, Qt::LeftButton);
            }
            break;
        case Act::TeardownTyped:
        case Act::TeardownBlank:
            // The notes screen ends every inline edit.
            model->setMode(Mode::Notes);
            break;
        case Act::HideTyped:
            line.field->hide();
            break;
        }
        settle();
        QCoreApplication::processEvents();

        EXPECT_EQ(titlesOn(*model, line.place), c.added);
        EXPECT_EQ(line.endings, c.endings);
        EXPECT_EQ(line.cancels, c.cancels);
        EXPECT_EQ(model->editing() == Editing::newThing(line.place), c.stillEditing);
        if (line.field) {
            EXPECT_TRUE(line.field->isFinished());
        }
        delete line.field;
        QCoreApplication::processEvents();
        // Nothing arrives late either.
        EXPECT_EQ(titlesOn(*model, line.place), c.added);
    }
}

TEST_F(EditFieldTest, ARenameTakenAwayChangesNothing)
{
    ModelHarness harness;
    AppModel* model = &harness.start();
    const auto id = model->add(QStringLiteral("call mum"), Place::onDay(today));
    ASSERT_TRUE(id);
    model->setEditing(Editing::thing(*id));
    int commits = 0;
    auto* field = new EditField(
        QStringLiteral("call mum"), QString(), QFont(), true,
        [&](const QString& text, EditField::Ending) {
            ++commits;
            model->rename(*id, text);
        },
        [&] { model->setEditing(std::nullopt); }, &host);
    host.layout()->addWidget(field);
    field->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }, 1000));
    QTest::qWait(20);
    // The caret went to the end: typing appends.
    QTest::keyClicks(field, QStringLiteral(" back"));
    EXPECT_EQ(field->text(), QStringLiteral("call mum back"));
    // Blank text would delete the thing if a rename committed on removal.
    field->clear();
    model->setMode(Mode::Notes);
    delete field;
    QCoreApplication::processEvents();
    EXPECT_EQ(commits, 0);
    EXPECT_EQ(titlesOn(*model, Place::onDay(today)), QStringList{QStringLiteral("call mum")});
}

TEST_F(EditFieldTest, SelectsItsTextUnlessTheCaretGoesToTheEnd)
{
    auto* field = new EditField(QStringLiteral("eventually"), QString(), QFont(), false, {}, {}, &host);
    host.layout()->addWidget(field);
    field->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return field->hasFocus() && field->hasSelectedText(); }, 1000));
    QTest::keyClicks(field, QStringLiteral("someday"));
    EXPECT_EQ(field->text(), QStringLiteral("someday"));
    delete field;
}

TEST_F(EditFieldTest, AFieldThatNeverGetsTheKeysAsksFourTimesThenCancels)
{
    LogCapture log;
    // Its own window, which is not the active one when the field asks: the keys stay
    // with `host`.
    QWidget elsewhere;
    elsewhere.setLayout(new QVBoxLayout);
    elsewhere.show();
    host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    int cancels = 0;
    int commits = 0;
    auto* field = new EditField(
        QString(), QString(), QFont(), false, [&](const QString&, EditField::Ending) { ++commits; },
        [&] { ++cancels; }, &elsewhere);
    elsewhere.layout()->addWidget(field);
    field->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return cancels > 0; }, 2000));
    settle();
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(commits, 0);
    EXPECT_EQ(log.lines,
              (QStringList{QStringLiteral("edit field asks for the keys again"),
                           QStringLiteral("edit field asks for the keys again"),
                           QStringLiteral("edit field asks for the keys again"),
                           QStringLiteral("edit field never got the keys; closing it")}));
    EXPECT_TRUE(field->isFinished());
}

TEST_F(EditFieldTest, KeysLentToAPopupOrAnotherWindowComeBackWithoutACommit)
{
    int commits = 0;
    auto* field = new EditField(QString(), QString(), QFont(), false,
                                [&](const QString&, EditField::Ending) { ++commits; }, {}, &host);
    host.layout()->addWidget(field);
    field->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }, 1000));
    QWidget window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.close();
    host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    settle();
    EXPECT_EQ(commits, 0);
    EXPECT_FALSE(field->isFinished());
    EXPECT_TRUE(field->hasFocus());
    delete field;
}
