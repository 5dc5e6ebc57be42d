#include "calendarreader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>

// Found by argument-dependent lookup, so it lives beside Day and QMap.
void PrintTo(const EventLines& lines, std::ostream* os);

namespace {

// Every case reads in an explicit zone. The process's own zone is pinned far from both,
// so anything that slips back to local time shows up as a wrong day or hour.
const bool processZonePinned = [] {
    setenv("TZ", "Pacific/Kiritimati", 1);
    return true;
}();

Day day(int y, int m, int d)
{
    return Day{y, m, d};
}

QList<Day> daysFrom(Day first, Day last)
{
    QList<Day> days;
    for (Day d = first; d <= last; d = d.adding(1))
        days.append(d);
    return days;
}

QByteArray calendar(const QByteArray& body)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n" + body + "END:VCALENDAR\r\n";
}

QByteArray event(const QByteArray& lines)
{
    static int uid = 0;
    return "BEGIN:VEVENT\r\nUID:event-" + QByteArray::number(++uid) + "\r\n" + lines + "END:VEVENT\r\n";
}

struct Zones {
    const char* name;
    const char* zone;
};

void PrintTo(const Zones& zones, std::ostream* os)
{
    *os << zones.zone;
}

class CalendarReaderTest : public ::testing::TestWithParam<Zones> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(processZonePinned);
        ASSERT_TRUE(root.isValid());
        zone = QTimeZone(GetParam().zone);
        ASSERT_TRUE(zone.isValid());
    }

    QString folder(const QString& name)
    {
        const QString path = root.filePath(name);
        QDir().mkpath(path);
        return path;
    }

    void write(const QString& path, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    bool isBerlin() const { return zone.id() == "Europe/Berlin"; }

    QTemporaryDir root;
    QTimeZone zone;
};

// The lines themselves: clock time without a leading zero, lower-case titles, "busy"
// for an event without a title, bare titles for all-day events. Floating times and
// all-day dates stay where they are written in every zone, west of Greenwich too.
TEST_P(CalendarReaderTest, FormsLinesOfTimedAndAllDayEvents)
{
    const QString cal = folder("cal");
    write(cal + "/work.ics",
          calendar(event("SUMMARY:Stand-Up with ÄRGER\r\nDTSTART:20250312T090500\r\nDTEND:20250312T093000\r\n")
                   + event("DTSTART:20250312T140000\r\nDTEND:20250312T150000\r\n")
                   + event("SUMMARY:\r\nDTSTART:20250313T140000\r\n")
                   + event("SUMMARY:Team OFFSITE\r\nDTSTART;VALUE=DATE:20250312\r\nDTEND;VALUE=DATE:20250313\r\n")
                   + event("SUMMARY:Call\r\nDTSTART:20250312T120000Z\r\nDURATION:PT30M\r\n")));

    const CalendarReader reader({cal}, zone);
    const EventLines lines = reader.events(daysFrom(day(2025, 3, 11), day(2025, 3, 13)));

    // The UTC call is 13:00 in Berlin and 5:00 in Los Angeles (daylight time since the 9th).
    const QStringList twelfth = isBerlin()
        ? QStringList{"team offsite", "9:05 stand-up with ärger", "13:00 call", "14:00 busy"}
        : QStringList{"team offsite", "5:00 call", "9:05 stand-up with ärger", "14:00 busy"};
    const EventLines expected{{day(2025, 3, 12), twelfth}, {day(2025, 3, 13), {"14:00 busy"}}};
    EXPECT_EQ(lines, expected);
}

TEST_P(CalendarReaderTest, EventsStartingTogetherKeepFolderFileAndPositionOrder)
{
    const QString first = folder("first");
    const QString second = folder("second");
    auto at = [](const QByteArray& time, const QByteArray& title) {
        return event("SUMMARY:" + title + "\r\nDTSTART:20250310T" + time + "\r\n");
    };
    write(second + "/0.ics", calendar(at("100000", "second folder")));
    write(first + "/z.ics", calendar(at("100000", "z") + at("080000", "early")));
    write(first + "/sub/m.ics", calendar(at("100000", "sub m")));
    write(first + "/a.ics", calendar(at("100000", "a first") + at("100000", "a second")));

    // A folder inside another one adds nothing twice.
    const CalendarReader reader({first, second, first + "/sub"}, zone);
    const EventLines lines = reader.events({day(2025, 3, 10)});

    const QStringList expected{"8:00 early", "10:00 a first", "10:00 a second", "10:00 sub m", "10:00 z",
                               "10:00 second folder"};
    EXPECT_EQ(lines, (EventLines{{day(2025, 3, 10), expected}}));
}

// Events that overlap the range are read; each is listed under the day it starts on,
// even when that day lies before the range or is not among the days asked for.
TEST_P(CalendarReaderTest, GroupsEventsByTheirOwnStartDay)
{
    const QString cal = folder("cal");
    write(cal + "/range.ics",
          calendar(event("SUMMARY:Night shift\r\nDTSTART:20250309T200000\r\nDTEND:20250310T100000\r\n")
                   + event("SUMMARY:Gone\r\nDTSTART:20250309T080000\r\nDTEND:20250309T090000\r\n")
                   + event("SUMMARY:Trip\r\nDTSTART;VALUE=DATE:20250308\r\nDTEND;VALUE=DATE:20250311\r\n")
                   + event("SUMMARY:Back home\r\nDTSTART;VALUE=DATE:20250310\r\nDTEND;VALUE=DATE:20250310\r\n")
                   + event("SUMMARY:Between\r\nDTSTART:20250311T120000\r\n")
                   + event("SUMMARY:After\r\nDTSTART:20250313T000000\r\n")));

    const CalendarReader reader({cal}, zone);
    const EventLines lines = reader.events({day(2025, 3, 12), day(2025, 3, 10)});

    const EventLines expected{
        {day(2025, 3, 8), {"trip"}},
        {day(2025, 3, 9), {"20:00 night shift"}},
        {day(2025, 3, 10), {"back home"}},
        {day(2025, 3, 11), {"12:00 between"}},
    };
    EXPECT_EQ(lines, expected);
}

// A weekly meeting in Berlin time: one week cancelled (EXDATE), one moved to Wednesday
// afternoon and renamed (RECURRENCE-ID), one extra instance (RDATE).
TEST_P(CalendarReaderTest, ExpandsRecurrenceWithExceptionsOverridesAndExtraDates)
{
    const QString cal = folder("cal");
    write(cal + "/review.ics",
          calendar("BEGIN:VEVENT\r\nUID:weekly-review\r\nSUMMARY:Review\r\n"
                   "DTSTART;TZID=Europe/Berlin:20250303T090000\r\nDTEND;TZID=Europe/Berlin:20250303T100000\r\n"
                   "RRULE:FREQ=WEEKLY;UNTIL=20250401T000000Z\r\n"
                   "EXDATE;TZID=Europe/Berlin:20250310T090000\r\nRDATE;TZID=Europe/Berlin:20250327T110000\r\n"
                   "END:VEVENT\r\n"
                   "BEGIN:VEVENT\r\nUID:weekly-review\r\nSUMMARY:Moved review\r\n"
                   "RECURRENCE-ID;TZID=Europe/Berlin:20250317T090000\r\n"
                   "DTSTART;TZID=Europe/Berlin:20250319T150000\r\nDTEND;TZID=Europe/Berlin:20250319T160000\r\n"
                   "END:VEVENT\r\n"));

    const CalendarReader reader({cal}, zone);
    const EventLines lines = reader.events(daysFrom(day(2025, 3, 2), day(2025, 3, 31)));

    // Berlin is UTC+1 in March until the 30th; Los Angeles is UTC-8 until the 9th, then UTC-7.
    const EventLines expected = isBerlin()
        ? EventLines{{day(2025, 3, 3), {"9:00 review"}},
                     {day(2025, 3, 19), {"15:00 moved review"}},
                     {day(2025, 3, 24), {"9:00 review"}},
                     {day(2025, 3, 27), {"11:00 review"}},
                     {day(2025, 3, 31), {"9:00 review"}}}
        : EventLines{{day(2025, 3, 3), {"0:00 review"}},
                     {day(2025, 3, 19), {"7:00 moved review"}},
                     {day(2025, 3, 24), {"1:00 review"}},
                     {day(2025, 3, 27), {"3:00 review"}},
                     {day(2025, 3, 31), {"0:00 review"}}};
    EXPECT_EQ(lines, expected);
}

// Rules begun long ago reach the range, with and without a COUNT, and every hour
// of an hourly rule keeps its phase; a finished rule and a date-only exception leave
// their days empty. A second read (counted rules then jump to the range) and a read
// past a COUNT's end agree.
TEST_P(CalendarReaderTest, ExpandsLongRunningAndFinishedRules)
{
    const QString cal = folder("cal");
    write(cal + "/rules.ics",
          calendar(event("SUMMARY:Stretch\r\nDTSTART:20150101T073000\r\nRRULE:FREQ=DAILY\r\n"
                         "EXDATE;VALUE=DATE:20250311\r\n")
                   + event("SUMMARY:Counted\r\nDTSTART:20100104T180000\r\nRRULE:FREQ=WEEKLY;COUNT=1000\r\n")
                   + event("SUMMARY:Short\r\nDTSTART:20250301T120000\r\nRRULE:FREQ=DAILY;COUNT=3\r\n")
                   + event("SUMMARY:Pills\r\nDTSTART:20150105T100000\r\nRRULE:FREQ=HOURLY;INTERVAL=7\r\n")
                   + event("SUMMARY:Birthday\r\nDTSTART;VALUE=DATE:19900312\r\nRRULE:FREQ=YEARLY\r\n")));

    const CalendarReader reader({cal}, zone);
    const QList<Day> days = daysFrom(day(2025, 3, 10), day(2025, 3, 12));

    const EventLines expected{
        {day(2025, 3, 10), {"3:00 pills", "7:30 stretch", "10:00 pills", "17:00 pills", "18:00 counted"}},
        {day(2025, 3, 11), {"0:00 pills", "7:00 pills", "14:00 pills", "21:00 pills"}},
        {day(2025, 3, 12), {"birthday", "4:00 pills", "7:30 stretch", "11:00 pills", "18:00 pills"}},
    };
    EXPECT_EQ(reader.events(days), expected);
    EXPECT_EQ(reader.events(days), expected);

    // The 1000th weekly instance is on 2029-02-26.
    const QList<Day> end = daysFrom(day(2029, 2, 26), day(2029, 3, 5));
    EXPECT_EQ(reader.events(end).value(day(2029, 2, 26)).filter("counted"), QStringList{"18:00 counted"});
    EXPECT_TRUE(reader.events(end).value(day(2029, 3, 5)).filter("counted").isEmpty());
}

// Zones come from the file's own VTIMEZONE (any name), from libical's zone data by
// Olson name, or by libical's prefixed name.
TEST_P(CalendarReaderTest, ResolvesZonesFromTheFileAndFromTheZoneData)
{
    const QString cal = folder("cal");
    write(cal + "/zones.ics",
          calendar("BEGIN:VTIMEZONE\r\nTZID:Office Time\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
                   "TZOFFSETFROM:+0500\r\nTZOFFSETTO:+0500\r\nTZNAME:OT\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n"
                   + event("SUMMARY:Office\r\nDTSTART;TZID=Office Time:20250312T090500\r\n")
                   + event("SUMMARY:New York\r\nDTSTART;TZID=America/New_York:20250312T090500\r\n")
                   + event("SUMMARY:Tokyo\r\nDTSTART;TZID=/freeassociation.sourceforge.net/Asia/Tokyo:"
                           "20250312T090500\r\n")));

    const CalendarReader reader({cal}, zone);
    const EventLines lines = reader.events(daysFrom(day(2025, 3, 11), day(2025, 3, 12)));

    // In UTC: office 04:05, New York 13:05 (daylight time since the 9th), Tokyo 00:05.
    const EventLines expected = isBerlin()
        ? EventLines{{day(2025, 3, 12), {"1:05 tokyo", "5:05 office", "14:05 new york"}}}
        : EventLines{{day(2025, 3, 11), {"17:05 tokyo", "21:05 office"}},
                     {day(2025, 3, 12), {"6:05 new york"}}};
    EXPECT_EQ(lines, expected);
}

TEST_P(CalendarReaderTest, SkipsFilesThatDoNotParse)
{
    const QString cal = folder("cal");
    const QByteArray good = calendar(event("SUMMARY:Good\r\nDTSTART:20250310T090000\r\n"));
    write(cal + "/garbage.ics", "this is not a calendar\n\x01\x02\xff\xfe");
    write(cal + "/binary.ics", QByteArray("BEGIN:VCALENDAR\0\0\0", 18));
    write(cal + "/bare-event.ics", event("SUMMARY:Bare\r\nDTSTART:20250310T090000\r\n"));
    write(cal + "/broken-start.ics", calendar(event("SUMMARY:Broken\r\nDTSTART:tomorrow\r\n")));
    write(cal + "/empty.ics", "");
    write(cal + "/good.ics", good);
    write(cal + "/notes.txt", good);

    const CalendarReader reader({cal}, zone);
    EXPECT_EQ(reader.events({day(2025, 3, 10)}), (EventLines{{day(2025, 3, 10), {"9:00 good"}}}));
}

QStringList logged;
void keepLog(QtMsgType, const QMessageLogContext&, const QString& message)
{
    logged.append(message);
}

// A small file can ask for endless work: hundreds of counted rules of every minute.
// Its expansion is cut short, what it gave until then is shown, the other files are
// read whole, and the log names the file.
TEST_P(CalendarReaderTest, AFileThatAsksTooMuchWorkIsCutShortAndNamed)
{
    const QString cal = folder("cal");
    QByteArray costly = event("SUMMARY:First\r\nDTSTART:20250310T080000\r\n");
    for (int i = 0; i < 300; ++i)
        costly += event("SUMMARY:Tick\r\nDTSTART:20250101T000000\r\nRRULE:FREQ=MINUTELY;COUNT=150000\r\n");
    write(cal + "/costly.ics", calendar(costly));
    write(cal + "/good.ics", calendar(event("SUMMARY:Good\r\nDTSTART:20250310T090000\r\n")));

    logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepLog);
    const CalendarReader reader({cal}, zone);
    const EventLines lines = reader.events({day(2025, 3, 10)});
    qInstallMessageHandler(previous);

    const QStringList tenth = lines.value(day(2025, 3, 10));
    EXPECT_TRUE(tenth.contains("8:00 first"));
    EXPECT_TRUE(tenth.contains("9:00 good"));
    EXPECT_LE(tenth.size(), 10001);
    EXPECT_TRUE(std::any_of(logged.cbegin(), logged.cend(), [](const QString& line) {
        return line.contains(u"costly.ics") && line.contains(u"cut short");
    })) << logged.join(u'\n').toStdString();
}

TEST_P(CalendarReaderTest, NoDaysOrNoFolderGiveAnEmptyMap)
{
    const QString cal = folder("cal");
    write(cal + "/a.ics", calendar(event("SUMMARY:A\r\nDTSTART:20250310T090000\r\n")
                                   + event("SUMMARY:Long ago\r\nDTSTART:20200101T090000\r\n")));

    EXPECT_TRUE(CalendarReader({cal}, zone).events({}).isEmpty());
    // A day that does not exist asks for nothing and widens nothing.
    EXPECT_TRUE(CalendarReader({cal}, zone).events({day(2025, 2, 30)}).isEmpty());
    EXPECT_EQ(CalendarReader({cal}, zone).events({day(2025, 2, 30), day(2025, 3, 10)}),
              (EventLines{{day(2025, 3, 10), {"9:00 a"}}}));
    EXPECT_TRUE(CalendarReader({root.filePath("missing")}, zone).events({day(2025, 3, 10)}).isEmpty());
    EXPECT_TRUE(CalendarReader({}, zone).events({day(2025, 3, 10)}).isEmpty());
    // One folder present is enough.
    EXPECT_EQ(CalendarReader({root.filePath("missing"), cal}, zone).events({day(2025, 3, 10)}).size(), 1);
}

TEST_P(CalendarReaderTest, ReadsChangedFilesAgainAndForgetsRemovedOnes)
{
    const QString cal = folder("cal");
    const QString path = cal + "/a.ics";
    write(path, calendar(event("SUMMARY:Before\r\nDTSTART:20250310T090000\r\n")));
    const CalendarReader reader({cal}, zone);
    ASSERT_EQ(reader.events({day(2025, 3, 10)}), (EventLines{{day(2025, 3, 10), {"9:00 before"}}}));

    // Same size, later modification time: a sync client's rewrite.
    write(path, calendar(event("SUMMARY:Later!\r\nDTSTART:20250310T090000\r\n")));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(5), QFileDevice::FileModificationTime));
    file.close();
    EXPECT_EQ(reader.events({day(2025, 3, 10)}), (EventLines{{day(2025, 3, 10), {"9:00 later!"}}}));

    ASSERT_TRUE(QFile::remove(path));
    EXPECT_TRUE(reader.events({day(2025, 3, 10)}).isEmpty());
}

TEST_P(CalendarReaderTest, ReadsOffTheGuiThreadAndAnswersOnTheAskingContext)
{
    const QString cal = folder("cal");
    write(cal + "/a.ics", calendar(event("SUMMARY:A\r\nDTSTART:20250310T090000\r\n")));
    const CalendarReader reader({cal}, zone);

    QObject context;
    std::optional<EventLines> answer;
    bool onGuiThread = false;
    reader.events({day(2025, 3, 10)}, &context, [&](const EventLines& lines) {
        answer = lines;
        onGuiThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    EXPECT_FALSE(answer);  // never answered before returning
    QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), 5000);
    EXPECT_TRUE(onGuiThread);
    EXPECT_EQ(*answer, (EventLines{{day(2025, 3, 10), {"9:00 a"}}}));

    // A context gone before the answer arrives gets none. Reads are answered in turn,
    // so once a later one is answered, the earlier one has had its chance.
    bool called = false;
    auto gone = std::make_unique<QObject>();
    reader.events({day(2025, 3, 10)}, gone.get(), [&](const EventLines&) { called = true; });
    gone.reset();
    bool later = false;
    reader.events({day(2025, 3, 10)}, &context, [&](const EventLines&) { later = true; });
    QTRY_VERIFY_WITH_TIMEOUT(later, 5000);
    EXPECT_FALSE(called);

    // A context on a thread of its own is answered there.
    QThread other;
    other.start();
    QObject elsewhere;
    elsewhere.moveToThread(&other);
    std::atomic<QThread*> answeredOn = nullptr;
    reader.events({day(2025, 3, 10)}, &elsewhere, [&](const EventLines&) { answeredOn = QThread::currentThread(); });
    QTRY_VERIFY_WITH_TIMEOUT(answeredOn.load() != nullptr, 5000);
    EXPECT_EQ(answeredOn.load(), &other);
    other.quit();
    other.wait();
}

// Navigating fast asks again before the last read is through: the reads that are out
// of date stop at their next file and answer nothing; the newest one answers.
TEST_P(CalendarReaderTest, ANewerReadStopsTheOlderOnes)
{
    const QString cal = folder("cal");
    for (int f = 0; f < 200; ++f) {
        QByteArray events;
        for (int e = 0; e < 20; ++e)
            events += event("SUMMARY:E" + QByteArray::number(e) + "\r\nDTSTART:20150105T100000\r\nRRULE:FREQ=DAILY\r\n");
        write(cal + QString("/%1.ics").arg(f, 3, 10, QChar('0')), calendar(events));
    }
    write(cal + "/zz.ics", calendar(event("SUMMARY:Last\r\nDTSTART:20250312T080000\r\n")));
    const CalendarReader reader({cal}, zone);

    QObject context;
    QStringList answered;
    const auto ask = [&](const QString& name, QList<Day> days) {
        reader.events(days, &context, [&answered, name](const EventLines&) { answered.append(name); });
    };
    ask("first", daysFrom(day(2025, 3, 3), day(2025, 3, 9)));
    ask("second", daysFrom(day(2025, 3, 10), day(2025, 3, 16)));
    std::optional<EventLines> newest;
    reader.events({day(2025, 3, 12)}, &context, [&](const EventLines& lines) { newest = lines; });
    QTRY_VERIFY_WITH_TIMEOUT(newest.has_value(), 20000);
    QTest::qWait(20);
    EXPECT_TRUE(answered.isEmpty()) << answered.join(", ").toStdString();
    ASSERT_EQ(newest->size(), 1);
    EXPECT_EQ(newest->value(day(2025, 3, 12)).size(), 200 * 20 + 1);
    EXPECT_EQ(newest->value(day(2025, 3, 12)).first(), "8:00 last");
}

// Local times at the clock changes, read as RFC 5545 says (3.3.5): a time the clocks
// skip takes the offset before the jump, a time they pass twice is its first
// occurrence; a rule's instance at a skipped time is no instance at all (3.3.10).
// Berlin springs forward on 30 March 2025 at 2:00 and falls back on 26 October at
// 3:00; Los Angeles on 9 March at 2:00 and on 2 November at 2:00.
TEST_P(CalendarReaderTest, ReadsLocalTimesAtClockChangesAsTheStandardSays)
{
    const QString cal = folder("cal");
    write(cal + "/changes.ics",
          calendar(event("SUMMARY:Skipped\r\nDTSTART;TZID=Europe/Berlin:20250330T023000\r\nDURATION:PT30M\r\n")
                   + event("SUMMARY:Twice\r\nDTSTART;TZID=Europe/Berlin:20251026T023000\r\n")
                   + event("SUMMARY:Skipped here\r\nDTSTART;TZID=America/Los_Angeles:20250309T023000\r\n")
                   + event("SUMMARY:Twice here\r\nDTSTART;TZID=America/Los_Angeles:20251102T013000\r\n")
                   + event("SUMMARY:Nightly\r\nDTSTART;TZID=Europe/Berlin:20250328T023000\r\n"
                           "RRULE:FREQ=DAILY;COUNT=4\r\n")
                   + event("SUMMARY:Floating\r\nDTSTART:20250330T023000\r\n")
                   + event("SUMMARY:Floating\r\nDTSTART:20250309T023000\r\n")));
    const CalendarReader reader({cal}, zone);

    // In UTC: skipped 01:30, twice 00:30, skipped here 10:30, twice here 08:30; the
    // nightly instances 01:30 on the 28th and 29th, none on the 30th, 00:30 on the 31st.
    const EventLines spring = reader.events(daysFrom(day(2025, 3, 8), day(2025, 3, 31)));
    const EventLines autumn = reader.events(daysFrom(day(2025, 10, 25), day(2025, 11, 2)));
    if (isBerlin()) {
        EXPECT_EQ(spring, (EventLines{{day(2025, 3, 9), {"2:30 floating", "11:30 skipped here"}},
                                      {day(2025, 3, 28), {"2:30 nightly"}},
                                      {day(2025, 3, 29), {"2:30 nightly"}},
                                      {day(2025, 3, 30), {"3:30 skipped", "3:30 floating"}},
                                      {day(2025, 3, 31), {"2:30 nightly"}}}));
        EXPECT_EQ(autumn, (EventLines{{day(2025, 10, 26), {"2:30 twice"}}, {day(2025, 11, 2), {"9:30 twice here"}}}));
    } else {
        EXPECT_EQ(spring, (EventLines{{day(2025, 3, 9), {"3:30 skipped here", "3:30 floating"}},
                                      {day(2025, 3, 27), {"18:30 nightly"}},
                                      {day(2025, 3, 28), {"18:30 nightly"}},
                                      {day(2025, 3, 29), {"18:30 skipped"}},
                                      {day(2025, 3, 30), {"2:30 floating", "17:30 nightly"}}}));
        EXPECT_EQ(autumn, (EventLines{{day(2025, 10, 25), {"17:30 twice"}}, {day(2025, 11, 2), {"1:30 twice here"}}}));
    }
}

// Rules far shorter than a day, begun years ago, reach the range without walking every
// instance since (which ran out of steps and showed nothing), and keep their phase;
// BYWEEKNO rules give the days of their weeks and no others.
TEST_P(CalendarReaderTest, ShortRulesBegunLongAgoAndWeekNumberRules)
{
    const QString cal = folder("cal");
    write(cal + "/rules.ics",
          calendar(event("SUMMARY:Quarter\r\nDTSTART:20150105T090000\r\nRRULE:FREQ=MINUTELY;INTERVAL=45;BYHOUR=9,10\r\n")
                   + event("SUMMARY:Noon\r\nDTSTART:19900101T120000\r\nRRULE:FREQ=HOURLY;BYHOUR=12\r\n")
                   + event("SUMMARY:Weeks\r\nDTSTART:20000103T080000\r\n"
                           "RRULE:FREQ=YEARLY;BYWEEKNO=1,52,53;BYDAY=MO,SU\r\n")));
    const CalendarReader reader({cal}, zone);

    EXPECT_EQ(reader.events(daysFrom(day(2025, 3, 11), day(2025, 3, 12))),
              (EventLines{{day(2025, 3, 11), {"9:00 quarter", "9:45 quarter", "10:30 quarter", "12:00 noon"}},
                          {day(2025, 3, 12), {"9:00 quarter", "9:45 quarter", "10:30 quarter", "12:00 noon"}}}));

    // 2026 has 53 ISO weeks: week 52 is 21-27 December, week 53 runs to 3 January, and
    // week 1 of 2027 is 4-10 January.
    EventLines weeks;
    for (const auto& [d, lines] : reader.events(daysFrom(day(2026, 12, 15), day(2027, 1, 31))).asKeyValueRange()) {
        if (lines.contains("8:00 weeks"))
            weeks.insert(d, {"8:00 weeks"});
    }
    const EventLines expected{{day(2026, 12, 21), {"8:00 weeks"}}, {day(2026, 12, 27), {"8:00 weeks"}},
                              {day(2026, 12, 28), {"8:00 weeks"}}, {day(2027, 1, 3), {"8:00 weeks"}},
                              {day(2027, 1, 4), {"8:00 weeks"}},   {day(2027, 1, 10), {"8:00 weeks"}}};
    EXPECT_EQ(weeks, expected);
}

TEST_P(CalendarReaderTest, CancelledEventsAndInstancesAreNotShown)
{
    const QString cal = folder("cal");
    write(cal + "/cancelled.ics",
          calendar("BEGIN:VEVENT\r\nUID:standup\r\nSUMMARY:Standup\r\nDTSTART:20250310T093000\r\n"
                   "RRULE:FREQ=DAILY;COUNT=3\r\nEND:VEVENT\r\n"
                   "BEGIN:VEVENT\r\nUID:standup\r\nSUMMARY:Standup\r\nRECURRENCE-ID:20250311T093000\r\n"
                   "DTSTART:20250311T093000\r\nSTATUS:CANCELLED\r\nEND:VEVENT\r\n"
                   + event("SUMMARY:Called off\r\nDTSTART:20250310T140000\r\nSTATUS:CANCELLED\r\n")
                   + event("SUMMARY:Maybe\r\nDTSTART:20250310T150000\r\nSTATUS:TENTATIVE\r\n")));
    const CalendarReader reader({cal}, zone);
    EXPECT_EQ(reader.events(daysFrom(day(2025, 3, 10), day(2025, 3, 12))),
              (EventLines{{day(2025, 3, 10), {"9:30 standup", "15:00 maybe"}},
                          {day(2025, 3, 12), {"9:30 standup"}}}));
}

INSTANTIATE_TEST_SUITE_P(Zones, CalendarReaderTest,
                         ::testing::Values(Zones{"EastOfUtc", "Europe/Berlin"},
                                           Zones{"WestOfUtc", "America/Los_Angeles"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CalendarReaderFolders, TakesTheEnvironmentsListOverTheDesktopsFolders)
{
    const QByteArray saved = qgetenv("PEMBY_CALENDAR_DIR");
    const bool wasSet = qEnvironmentVariableIsSet("PEMBY_CALENDAR_DIR");

    qputenv("PEMBY_CALENDAR_DIR", "/a/cal::/b");
    EXPECT_EQ(CalendarReader::defaultFolders(), (QStringList{"/a/cal", "/b"}));
    qunsetenv("PEMBY_CALENDAR_DIR");
    const QStringList fallback = CalendarReader::defaultFolders();
    ASSERT_EQ(fallback.size(), 2);
    EXPECT_TRUE(fallback[0].endsWith("/evolution/calendar"));
    EXPECT_EQ(fallback[1], QDir::homePath() + "/.calendars");

    if (wasSet)
        qputenv("PEMBY_CALENDAR_DIR", saved);
}

} // namespace

void PrintTo(const EventLines& lines, std::ostream* os)
{
    for (auto it = lines.begin(); it != lines.end(); ++it) {
        *os << "\n  " << it.key().iso().toStdString() << ":";
        for (const QString& line : it.value())
            *os << " [" << line.toStdString() << "]";
    }
}

