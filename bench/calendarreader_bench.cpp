// How long a navigation waits for calendar events: the first read of a calendar tree
// (every file parsed and expanded), the reads after it (files unchanged: their expanded
// weeks are kept), and a read after one file changed. The cached read stands beside its
// floor, looking at every file to see that it has not changed.
// Run: build/<dir>/bench/calendarreader_bench [files] [events per file]
#include "calendarreader.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>

namespace {

double median(int rounds, const std::function<void()>& body, const std::function<void()>& prepare = {})
{
    QList<double> ms;
    for (int i = 0; i < rounds; ++i) {
        if (prepare)
            prepare();
        QElapsedTimer timer;
        timer.start();
        body();
        ms.append(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

QByteArray calendarFile(int f, int perFile, const QByteArray& extra = {})
{
    QByteArray text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n";
    for (int e = 0; e < perFile; ++e) {
        const int n = f * perFile + e;
        text += "BEGIN:VEVENT\r\nUID:" + QByteArray::number(n) + "\r\nSUMMARY:Event " + QByteArray::number(n) + extra
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
    return text + "END:VCALENDAR\r\n";
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int files = args.size() > 1 ? args[1].toInt() : 200;
    const int perFile = args.size() > 2 ? args[2].toInt() : 50;

    QTemporaryDir root;
    const auto path = [&](int f) { return root.filePath(QString("cal-%1.ics").arg(f)); };
    for (int f = 0; f < files; ++f) {
        QFile file(path(f));
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write(calendarFile(f, perFile));
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
    out << files << " files x " << perFile << " events, 6 weeks, " << lines << " lines\n";
    out << "first read                  " << timer.elapsed() << " ms\n";

    const double cached = median(11, [&] { reader.events(days); });
    const double floor = median(11, [&] {
        QDirIterator it(root.path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info(it.next());
            (void)info.canonicalFilePath();
            (void)info.lastModified();
        }
    });
    out << QString::asprintf("cached read, %d files %10.3f ms, floor %10.3f ms, ratio %6.1fx   "
                             "floor: looking at every file\n",
                             files, cached, floor, cached / floor);

    int edit = 0;
    const double oneChanged = median(
        5, [&] { reader.events(days); },
        [&] {
            QFile file(path(0));
            if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
                file.write(calendarFile(0, perFile, " v" + QByteArray::number(++edit)));
        });
    out << "read after one file changed " << oneChanged << " ms\n";
    return 0;
}
