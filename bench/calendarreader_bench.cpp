// How long a navigation waits for calendar events: the first read of a calendar tree
// (every file parsed) and the reads after it (files unchanged, taken from the cache).
// Run: build/<dir>/bench/calendarreader_bench [files] [events per file]
#include "calendarreader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int files = args.size() > 1 ? args[1].toInt() : 200;
    const int perFile = args.size() > 2 ? args[2].toInt() : 50;

    QTemporaryDir root;
    for (int f = 0; f < files; ++f) {
        QByteArray text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n";
        for (int e = 0; e < perFile; ++e) {
            const int n = f * perFile + e;
            text += "BEGIN:VEVENT\r\nUID:" + QByteArray::number(n) + "\r\nSUMMARY:Event " + QByteArray::number(n)
                + "\r\n";
            // A mix of one-off events, weekly rules begun years ago, and counted daily rules.
            switch (n % 3) {
            case 0:
                text += "DTSTART:2025031" + QByteArray::number(n % 10) + "T090000\r\n";
                break;
            case 1:
                text += "DTSTART;TZID=Europe/Berlin:20150105T100000\r\nRRULE:FREQ=WEEKLY\r\n";
                break;
            default:
                text += "DTSTART:20240101T070000Z\r\nRRULE:FREQ=DAILY;COUNT=800\r\n";
                break;
            }
            text += "END:VEVENT\r\n";
        }
        text += "END:VCALENDAR\r\n";
        QFile file(root.filePath(QString("cal-%1.ics").arg(f)));
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write(text);
    }

    QList<Day> days;
    for (Day d{2025, 3, 3}; d <= Day{2025, 4, 13}; d = d.adding(1))
        days.append(d);

    const CalendarReader reader({root.path()}, QTimeZone("Europe/Berlin"));
    QTextStream out(stdout);
    QElapsedTimer timer;
    timer.start();
    qsizetype lines = 0;
    for (const QStringList& day : reader.events(days))
        lines += day.size();
    out << files << " files x " << perFile << " events, 6 weeks: first read " << timer.elapsed() << " ms, "
        << lines << " lines\n";
    constexpr int rounds = 10;
    timer.restart();
    for (int i = 0; i < rounds; ++i)
        reader.events(days);
    out << "cached read " << double(timer.elapsed()) / rounds << " ms\n";
    return 0;
}
