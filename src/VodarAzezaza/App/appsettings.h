#pragma once
// The planner's own keys in the user's settings file, read and written as text so
// every backend reads back what was written. A value of another type, or text that is
// not exactly a Boolean or an integer, counts as missing and gives the default.

#include <QMap>
#include <QString>

class QSettings;

class AppSettings {
public:
    // The stored values as they are, each with its default.
    struct Values {
        int firstWeekday = 0;  // 0: the locale's; 1 = Sunday ... 7 = Saturday
        bool splitWeekend = true;
        bool showCalendar = false;
        bool showLists = true;
        bool floats = true;
        // The slot of each other app's thing in today's column; none at all for a value
        // that is no JSON object of whole numbers.
        QMap<QString, int> otherAppSlots;
    };

    explicit AppSettings(QSettings& file) : file_(file) {}

    Values read() const;

    void writeFirstWeekday(int weekday);
    void writeSplitWeekend(bool split);
    void writeShowCalendar(bool show);
    void writeShowLists(bool show);
    void writeFloats(bool floats);
    // Whether focus mode was on at the end, for the next launch.
    void writeFocusLast(bool on);
    // The whole map, as one JSON object.
    void writeOtherAppSlots(const QMap<QString, int>& otherAppSlots);

private:
    void write(const QString& key, const QString& text);

    QSettings& file_;
};
