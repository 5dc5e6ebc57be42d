#pragma once
// The planner folder on disk: loads weeks, months, the lists and the repeat rules into
// a plan, writes back only the files whose text changed, and re-reads files that
// another program changed. It remembers, per file, the text it last read or wrote;
// that memory is what lets it skip unchanged writes, notice outside changes and refuse
// to overwrite them.

#include "planner.h"
#include "result.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <utility>

class PlannerStore {
public:
    // Reads nothing; the folder is created by the first write that needs it.
    explicit PlannerStore(QString folder);

    PlannerStore(const PlannerStore&) = delete;
    PlannerStore& operator=(const PlannerStore&) = delete;

    const QString& folder() const { return folder_; }
    // The Mondays of the weeks and the months that were loaded or looked for.
    const QSet<Day>& loadedWeeks() const { return loadedWeeks_; }
    const QSet<MonthKey>& loadedMonths() const { return loadedMonths_; }

    // What the loads and re-reads put into a plan from the files: the weeks (by Monday)
    // and the months whose content replaced the plan's, and whether the lists or the
    // repeats file did. A week or month looked for without a file took nothing.
    struct FilesRead {
        QSet<Day> weeks;
        QSet<MonthKey> months;
        bool lists = false;
        bool repeats = false;
        bool isEmpty() const { return weeks.isEmpty() && months.isEmpty() && !lists && !repeats; }
        bool operator==(const FilesRead&) const = default;
    };
    // What was read since the last call, and forgets it. Whoever keeps earlier copies of
    // the plan (the undo history) carries the same content into them.
    FilesRead takeFilesRead() { return std::exchange(filesRead_, {}); }

    // The lists file and the repeats file; one empty list "eventually" when there is none.
    void loadBase(Planner& planner);
    // Loads the week of this Monday once; later calls read nothing.
    void loadWeek(Day monday, Planner& planner);
    // Every week from the week of `first` through `last`.
    void loadWeeks(Day first, Day last, Planner& planner);
    void loadMonth(MonthKey month, Planner& planner);
    // Every week file and month file present in the folder.
    void loadEverything(Planner& planner);

    // Writes every loaded file whose rendering differs from what the store last read or
    // wrote. A file that changed on disk meanwhile is kept, and this plan's version goes
    // to a conflict copy beside it; a file that cannot be read is never overwritten.
    // Every file is tried; the error names what failed, and failed files are tried
    // again at the next save.
    Status save(const Planner& planner);
    // Re-reads the loaded files that changed on disk; true when any did.
    bool reloadIfChanged(Planner& planner);

    // Note files in the "notes" subfolder; nullopt for an id that is not letters,
    // digits and "-".
    std::optional<QString> notePath(const QString& id) const;
    std::optional<QByteArray> readNote(const QString& id) const;
    Status writeNote(const QString& id, const QByteArray& bytes);

private:
    struct Conflict {
        QString outside;  // the text found on disk
        QString ours;     // the text that went to the copy
        QString copyName;
    };

    // What a file was last rendered from. The plan's containers are shared between
    // copies, so an unchanged week compares in constant time and is not rendered again.
    struct Rendering {
        std::array<QList<Thing>, 7> things;  // a week's days; a month's things in the first
        QSet<QString> applied;
        QList<EventuallyList> lists;
        QList<RepeatRule> rules;
        QString text;
        bool sameInput(const Rendering& other) const
        {
            return things == other.things && applied == other.applied && lists == other.lists && rules == other.rules;
        }
    };

    QString pathOf(const QString& name) const;
    QString render(const QString& name, Rendering input, const std::function<QString()>& encode);
    // The file's text when it can be read, remembered as known; nullopt otherwise.
    std::optional<QString> read(const QString& name);
    // The file's text when it can be read and differs from what is known.
    std::optional<QString> readIfChanged(const QString& name);
    Status write(const QString& name, const QString& text);
    Status keepBoth(const QString& name, const QString& outside, const QString& ours);
    QString freeConflictName(const QString& name) const;

    QString folder_;
    QHash<QString, QString> known_;
    QSet<Day> loadedWeeks_;
    QSet<MonthKey> loadedMonths_;
    QHash<QString, Conflict> conflicts_;
    QHash<QString, Rendering> rendered_;
    FilesRead filesRead_;
};
