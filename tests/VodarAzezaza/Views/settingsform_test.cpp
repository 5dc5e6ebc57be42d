// The settings window: each control shows the model's value and writes a person's
// change straight through; the folder row shows the path and hands on its buttons.
#include "settingsform.h"

#include "appmodel.h"
#include "modelharness.h"
#include "plannersettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

namespace {

class SettingsFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        form = std::make_unique<SettingsForm>([this] { ++chosen; });
        form->openFolder = [this](const QString& folder) { opened << folder; };
    }
    AppModel& start()
    {
        AppModel& m = h.start();
        form->setModel(&m);
        form->show();
        return m;
    }

    ModelHarness h;
    std::unique_ptr<SettingsForm> form;
    int chosen = 0;
    QStringList opened;
};

TEST_F(SettingsFormTest, WeekStartOffersFourChoicesAndStoresTheirWeekdays)
{
    AppModel& m = start();
    QComboBox* box = form->weekStart();
    ASSERT_EQ(box->count(), 4);
    const std::pair<const char*, int> options[] = {
        {"Whatever this computer says", 0}, {"Sunday", 1}, {"Monday", 2}, {"Saturday", 7}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(options[i].first);
        EXPECT_EQ(box->itemText(i), options[i].first);
        box->setCurrentIndex(i);
        emit box->activated(i);
        EXPECT_EQ(m.settings().firstWeekdaySetting(), options[i].second);
        EXPECT_EQ(h.settings().value("firstWeekday").toString(), QString::number(options[i].second));
    }
    // Written from outside: a start the form does not offer selects nothing.
    m.settings().setFirstWeekdaySetting(4);
    EXPECT_EQ(box->currentIndex(), -1);
    m.settings().setFirstWeekdaySetting(2);
    EXPECT_EQ(box->currentText(), "Monday");
}

TEST_F(SettingsFormTest, TogglesWriteThroughAndFollowTheModelQuietly)
{
    AppModel& m = start();
    EXPECT_EQ(form->splitWeekend()->isChecked(), m.settings().splitWeekend());
    QTest::mouseClick(form->splitWeekend(), Qt::LeftButton, {}, QPoint(8, form->splitWeekend()->height() / 2));
    EXPECT_EQ(m.settings().splitWeekend(), form->splitWeekend()->isChecked());

    EXPECT_FALSE(form->showCalendar()->isChecked());
    EXPECT_EQ(form->showCalendar()->text(), "Show calendar events");
    QTest::mouseClick(form->showCalendar(), Qt::LeftButton, {}, QPoint(8, form->showCalendar()->height() / 2));
    EXPECT_TRUE(m.settings().showCalendar());
    EXPECT_EQ(h.calendar.reads.size(), 1) << "turning it on reads the visible days at once";

    // The model changing shows here without writing anything back.
    const int reads = int(h.calendar.reads.size());
    m.settings().setShowCalendar(false);
    EXPECT_FALSE(form->showCalendar()->isChecked());
    EXPECT_EQ(h.calendar.reads.size(), reads);
}

TEST_F(SettingsFormTest, FolderRowShowsThePathAndHandsOnItsButtons)
{
    start();
    EXPECT_EQ(form->folderPath()->toPlainText(), h.folder());
    EXPECT_TRUE(form->folderPath()->isReadOnly());
    EXPECT_TRUE(form->folderPath()->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_EQ(form->showFolder()->text(), "Show in File Manager");
    QTest::mouseClick(form->showFolder(), Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{h.folder()});
    EXPECT_EQ(form->choose()->text(), "Choose…");
    QTest::mouseClick(form->choose(), Qt::LeftButton);
    EXPECT_EQ(chosen, 1);
    EXPECT_EQ(form->width(), SettingsForm::formWidth);
}

TEST_F(SettingsFormTest, ALongPathTakesTwoLinesAtMost)
{
    h.folderName = QString(12, QChar('x')) + QString("/y").repeated(40);
    start();
    QTextEdit* path = form->folderPath();
    EXPECT_EQ(path->toPlainText(), h.folder());
    EXPECT_LE(path->height(), 2 * path->fontMetrics().lineSpacing() + 2);
}

} // namespace
