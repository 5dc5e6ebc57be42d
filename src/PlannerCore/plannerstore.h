#pragma once
// The planner folder on disk: loads weeks, months, the lists and the repeat rules into
// a plan, writes back only the files whose content changed, and re-reads files that
// another program changed. It remembers, per file, the text it last read or wrote, what
// that text holds and where its lines stood; that memory is what lets it leave
// untouched files alone, keep the lines it does not read, notice outside changes and
// refuse to overwrite them.

#include "changewatch.h"
#include "markdown.h"
#include "planner.h"
#include "result.h"
#include "textfile.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <utility>

class PlannerStore {
public:
    // Reads nothing; the folder is created by the first write that needs it. `now` is
    // the clock that names conflict copies, in its own time zone; the system's local
    // time when empty.
    explicit PlannerStore(QString folder, std::function<QDateTime()> now = {});

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

    // Writes every loaded file whose part of the plan changed since it was last read or
    // written; a file the plan did not change is never touched, however its text looks.
    // A rewritten file keeps every line its reader did not take, where it stood. A file
    // that changed on disk meanwhile, or cannot be read, is kept, and this plan's
    // version goes to a conflict copy beside it (one copy for one outside version, kept
    // up to date). Every file is tried; the error names what failed and why, and failed
    // files are tried again at the next save. Only the files whose part of the plan
    // differs from that of the last save are looked at, so a save costs what changed.
    Status save(const Planner& planner);
    // Re-reads the loaded files that changed on disk; true when any did. It looks only at
    // the files the kernel says changed since the last look, where it can say so.
    bool reloadIfChanged(Planner& planner);
    // The plan files that were looked for but are not regular files (links, folders),
    // so they were neither read nor written through; as of each file's last look.
    QStringList skippedFiles() const;

    // Why the week's file could not be read when it was last looked at, naming it; none
    // while it reads (or is missing). Nothing is to move into such a week of its own.
    std::optional<QString> unreadableWeek(Day monday) const;

private:
    // What a file holds, in the plan's terms: a week's days and applied rules, a month's
    // things, the lists or the rules.
    struct FileContent {
        WeekContent week;
        QList<Thing> things;
        QList<EventuallyList> lists;
        QList<RepeatRule> rules;
        // A week without a repeats comment holds no applied rules, as one with an empty one.
        bool operator==(const FileContent& other) const
        {
            return week.days == other.week.days
                && week.applied.value_or(QSet<QString>()) == other.week.applied.value_or(QSet<QString>())
                && things == other.things && lists == other.lists && rules == other.rules;
        }
    };
    using Decode = std::function<FileContent(QStringView text, PlanLayout* layout)>;
    using Render = std::function<QString(const FileContent& content, PlanLayout* layout)>;
    static FileContent weekContent(QStringView text, Day monday, PlanLayout* layout);
    static FileContent monthContent(QStringView text, PlanLayout* layout);
    static FileContent listsContent(QStringView text, PlanLayout* layout);
    static FileContent rulesContent(QStringView text, PlanLayout* layout);

    // What tells a text from another without keeping it: texts that read the same
    // (as canonically equivalent Unicode) have the same digest, and two that differ,
    // unless made to collide, a different one but by a chance of about one in 2^128.
    // A plan's files are known by it, so that loading the plan does not keep every
    // file's text as well. Never stored: it holds for this process only.
    struct TextDigest {
        qsizetype size = -1;
        size_t first = 0;
        size_t second = 0;
        static TextDigest of(QStringView text);
        bool operator==(const TextDigest&) const = default;
    };
    // A file as it was last read or written.
    struct FileRecord {
        TextDigest text;
        FileContent content;
        PlanLayout layout;
        // The file as it stood when it was known to hold that text; while it stands so, a
        // look for outside changes needs no read.
        std::optional<pemby::FileStamp> stamp;
    };
    struct Conflict {
        std::optional<QString> outside;  // the text found on disk; none when it can't be read
        QString unreadable;              // then: what the file on disk was, as its copy says
        QString ours;                    // the text in the copy
        QString copyName;
        std::optional<PlanLayout> layout;  // where the copy's lines stand, once it was read
    };
    struct Failure {
        QString name;
        QString text;
    };
    // A file rendered for writing, and how to look at it again when it is not written.
    struct Prepared {
        QString name;
        QString text;
        FileRecord record;
        std::function<void()> again;
    };

    QString pathOf(const QString& name) const;
    // Re-reads the loaded file of this name when it changed; true when it did.
    bool reloadFile(const QString& name, Planner& planner);
    // Each reads its file again when it changed and puts what it holds into the plan;
    // whether it did.
    bool reloadWeek(Day monday, Planner& planner);
    bool reloadMonth(MonthKey month, Planner& planner);
    bool reloadLists(Planner& planner);
    bool reloadRepeats(Planner& planner);
    // The file's text and what it holds, remembered; nullopt when it is missing or
    // can't be read.
    std::optional<FileRecord> read(const QString& name, const Decode& decode, bool onlyIfChanged);
    // A file as a load finds it: read, decoded and stamped without touching the store,
    // so that many files can be fetched on threads of their own.
    struct Fetched {
        pemby::TextFile file;
        FileRecord record;  // when the file was read
        // It has other names too: a change made through one of them tells no watch.
        bool linkedElsewhere = false;
    };
    static Fetched fetch(const QString& path, const Decode& decode);
    // What a load fetched, remembered as read() remembers it.
    std::optional<FileRecord> take(const QString& name, Fetched fetched, const Decode& decode);
    // Renders the file for writing when the plan's content of it differs from what it
    // holds (a file not known yet: when there is content); false when it would be too
    // large to read back.
    bool store(const QString& name, const FileContent& content, bool hasContent, const Render& render,
               QList<Failure>& failures, QList<Prepared>& prepared, std::function<void()> again);
    Status write(const QString& name, const QString& text, FileRecord record);
    Status keepBoth(const QString& name, const std::optional<QString>& outside, const QString& ours, const QString& why,
                    const PlanLayout& layout);
    QString freeConflictName(const QString& name) const;
    // The copy kept beside a file that can't be read, made while the file was as it is
    // now: what it holds, and it is the copy for this file until the file changes.
    std::optional<FileRecord> readCopy(const QString& name, const Decode& decode);
    QString unreadableState(const QString& name) const;

    bool saveWeek(Day monday, const Planner& planner, QList<Failure>& failures, QList<Prepared>& prepared);
    bool saveMonth(MonthKey month, const Planner& planner, QList<Failure>& failures, QList<Prepared>& prepared);
    bool saveLists(const Planner& planner, QList<Failure>& failures, QList<Prepared>& prepared);
    bool saveRepeats(const Planner& planner, QList<Failure>& failures, QList<Prepared>& prepared);

    QString folder_;
    std::function<QDateTime()> now_;
    // Started before anything is read, so that every change after a read is told.
    ChangeWatch watch_;
    // Files that had other names when last read: a change through one of those is not
    // told, so they are looked at every time.
    QSet<QString> linked_;
    QHash<QString, FileRecord> files_;
    QSet<Day> loadedWeeks_;
    QSet<MonthKey> loadedMonths_;
    QHash<QString, Conflict> conflicts_;
    QSet<QString> skipped_;
    QHash<QString, QString> unreadable_;  // file name → why it can't be read
    FilesRead filesRead_;
    // The plan of the last save; what still equals it needs no look at its files.
    Planner saved_;
    // Files to look at in the next save whatever the plan says: read since, or not
    // written by the last save.
    QSet<Day> pendingWeeks_;
    QSet<MonthKey> pendingMonths_;
    bool pendingLists_ = false;
    bool pendingRepeats_ = false;
};
