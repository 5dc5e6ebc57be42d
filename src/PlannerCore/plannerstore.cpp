#include "plannerstore.h"

#include "inparallel.h"
#include "logcategories.h"
#include "markdown.h"
#include "textfile.h"
#include "textutil.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <array>
#include <limits>
#include <string_view>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// Texts compare as canonically equivalent Unicode: a file whose accents a sync service
// decomposed is still the text we wrote.
// Text below U+0300 is composed already, and two composed texts are equivalent only
// when equal: a changed file of such text (most are) is told apart without composing
// it again.
bool isComposed(QStringView text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x300; });
}

bool sameText(const QString& a, const QString& b)
{
    if (a == b)
        return true;
    if (isComposed(a) && isComposed(b))
        return false;
    return a.normalized(QString::NormalizationForm_C) == b.normalized(QString::NormalizationForm_C);
}

} // namespace

PlannerStore::TextDigest PlannerStore::TextDigest::of(QStringView text)
{
    // Composed text is its own canonical form; any other is hashed as it composes.
    const bool composed = isComposed(text);
    const QString normal = composed ? QString() : text.toString().normalized(QString::NormalizationForm_C);
    const QStringView canonical = composed ? text : QStringView(normal);
    return {canonical.size(), qHash(canonical, size_t(0x9e3779b97f4a7c15)), qHash(canonical, size_t(0xc2b2ae3d27d4eb4f))};
}

namespace {

template <class T>
QList<T> sorted(const QSet<T>& set)
{
    QList<T> out = set.values();
    std::sort(out.begin(), out.end());
    return out;
}

// The Monday of ISO week `week` of `year`: the week that holds 4 January, moved on.
std::optional<Day> mondayOfIsoWeek(int year, int week)
{
    const qint64 offset = (qint64(week) - 1) * 7;
    if (offset < std::numeric_limits<int>::min() || offset > std::numeric_limits<int>::max())
        return std::nullopt;
    const Day fourth{year, 1, 4};
    if (!fourth.date().isValid())
        return std::nullopt;
    const Day monday = fourth.monday().adding(int(offset));
    if (!monday.date().isValid())
        return std::nullopt;
    return monday;
}

// "a; also b, c and 3 more": the first failure in full, the other files by name.
QString failureText(const QString& first, const QStringList& others)
{
    if (others.isEmpty())
        return first;
    constexpr qsizetype named = 3;
    QStringList names = others.first(std::min(named, others.size()));
    QString tail;
    if (others.size() > named)
        tail = QStringLiteral(" and %1 more").arg(others.size() - named);
    else if (names.size() > 1)
        tail = QStringLiteral(" and ") + names.takeLast();
    return first + QStringLiteral("; also ") + names.join(QStringLiteral(", ")) + tail;
}

// The names in the folder that end in ".md" and are no real folder, in name order;
// none when it can't be listed. Links are listed too, to folders as well: the read
// refuses them and names them as skipped. Hidden names are no plan file's. The listing
// says what each entry is, so none needs a look of its own.
std::optional<QStringList> planFileNames(const QString& folder)
{
    DIR* const dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return std::nullopt;
    const auto closing = qScopeGuard([dir] { ::closedir(dir); });
    QStringList names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name.starts_with('.') || !name.ends_with(".md"))
            continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat info {};
            isFolder = ::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode);
        }
        if (!isFolder)
            names.append(QFile::decodeName(entry->d_name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

QList<EventuallyList> withDefaultList(QList<EventuallyList> lists)
{
    Planner holder;
    holder.lists = std::move(lists);
    holder.ensureLists();
    return holder.lists;
}

} // namespace

PlannerStore::PlannerStore(QString folder, std::function<QDateTime()> now)
    : folder_(std::move(folder)), now_(std::move(now)), watch_(folder_)
{
}

QString PlannerStore::pathOf(const QString& name) const
{
    return folder_ + u'/' + name;
}

// ---- Reading -----------------------------------------------------------------------

QStringList PlannerStore::skippedFiles() const
{
    return sorted(skipped_);
}

PlannerStore::FileContent PlannerStore::weekContent(QStringView text, Day monday, PlanLayout* layout)
{
    FileContent content;
    content.week = Markdown::decodeWeek(text, monday, layout);
    return content;
}

PlannerStore::FileContent PlannerStore::monthContent(QStringView text, PlanLayout* layout)
{
    FileContent content;
    content.things = Markdown::decodeMonth(text, layout);
    return content;
}

// No lists is one empty list "eventually", in what the file holds as in the plan.
PlannerStore::FileContent PlannerStore::listsContent(QStringView text, PlanLayout* layout)
{
    FileContent content;
    content.lists = withDefaultList(Markdown::decodeLists(text, layout));
    return content;
}

PlannerStore::FileContent PlannerStore::rulesContent(QStringView text, PlanLayout* layout)
{
    FileContent content;
    content.rules = Markdown::decodeRepeats(text, layout);
    return content;
}

PlannerStore::Fetched PlannerStore::fetch(const QString& path, const Decode& decode)
{
    Fetched out;
    // The stamp of the very file read, from the read itself: no look at the name before
    // or after it.
    std::optional<pemby::FileStamp> stamp;
    out.file = pemby::readTextFile(path, stamp);
    out.linkedElsewhere = stamp && stamp->links > 1;
    if (out.file.state != pemby::TextFile::State::Read)
        return out;
    out.record.content = decode(out.file.text, &out.record.layout);
    out.record.text = TextDigest::of(out.file.text);
    out.record.stamp = pemby::settledStamp(stamp);
    // Let go of on this thread, where the next file's text takes its place.
    out.file.text = QString();
    return out;
}

std::optional<PlannerStore::FileRecord> PlannerStore::take(const QString& name, Fetched fetched, const Decode& decode)
{
    const pemby::TextFile& file = fetched.file;
    if (fetched.linkedElsewhere)
        linked_.insert(name);
    else
        linked_.remove(name);
    if (file.notAFile)
        skipped_.insert(name);
    else
        skipped_.remove(name);
    if (file.state == pemby::TextFile::State::Unreadable) {
        unreadable_.insert(name, QStringLiteral("%1 can't be read (%2)").arg(name, file.error));
        // What was saved beside it in an earlier run is what the plan holds of it meanwhile.
        qCWarning(lcStore) << "skipping" << name << "which can't be read:" << file.error;
        return readCopy(name, decode);
    }
    unreadable_.remove(name);
    if (file.state != pemby::TextFile::State::Read)
        return std::nullopt;
    files_.insert(name, fetched.record);
    conflicts_.remove(name);
    return std::move(fetched.record);
}

std::optional<PlannerStore::FileRecord> PlannerStore::read(const QString& name, const Decode& decode, bool onlyIfChanged)
{
    if (!onlyIfChanged)
        return take(name, fetch(pathOf(name), decode), decode);
    // A look again: only a file that changed since it was read is decoded.
    const QString path = pathOf(name);
    const auto known = files_.find(name);
    const auto before = pemby::fileStamp(path);
    if (known != files_.end() && known->stamp && before == known->stamp)
        return std::nullopt;
    if (before && before->links > 1)
        linked_.insert(name);
    else
        linked_.remove(name);
    pemby::TextFile file = pemby::readTextFile(path);
    if (file.notAFile)
        skipped_.insert(name);
    else
        skipped_.remove(name);
    if (file.state == pemby::TextFile::State::Unreadable) {
        // Said when the file is looked for, not again at every minute's look; what the
        // plan holds of it stays meanwhile.
        unreadable_.insert(name, QStringLiteral("%1 can't be read (%2)").arg(name, file.error));
        return std::nullopt;
    }
    unreadable_.remove(name);
    if (file.state != pemby::TextFile::State::Read)
        return std::nullopt;
    const TextDigest digest = TextDigest::of(file.text);
    if (known != files_.end() && known->text == digest) {
        known->stamp = pemby::settledStamp(before, path);
        return std::nullopt;
    }
    FileRecord record;
    record.content = decode(file.text, &record.layout);
    record.text = digest;
    record.stamp = pemby::settledStamp(before, path);
    files_.insert(name, record);
    conflicts_.remove(name);
    return record;
}

void PlannerStore::loadBase(Planner& planner)
{
    if (const auto record = read(Markdown::listsFileName(), listsContent, false)) {
        planner.lists = record->content.lists;
        filesRead_.lists = true;
    }
    if (const auto record = read(Markdown::repeatsFileName(), rulesContent, false)) {
        planner.repeats = record->content.rules;
        filesRead_.repeats = true;
    }
    planner.ensureLists();
    pendingLists_ = pendingRepeats_ = true;
}

void PlannerStore::loadWeek(Day monday, Planner& planner)
{
    if (loadedWeeks_.contains(monday))
        return;
    loadedWeeks_.insert(monday);
    pendingWeeks_.insert(monday);
    const auto decode = [monday](QStringView text, PlanLayout* layout) { return weekContent(text, monday, layout); };
    if (const auto record = read(Markdown::weekFileName(monday), decode, false)) {
        Markdown::putWeek(monday, record->content.week, planner);
        filesRead_.weeks.insert(monday);
    }
}

void PlannerStore::loadWeeks(Day first, Day last, Planner& planner)
{
    for (Day monday = first.monday(); !(last < monday);) {
        loadWeek(monday, planner);
        const Day next = monday.adding(7);
        // A day the calendar cannot move (out of range) would loop for ever.
        if (!(monday < next))
            break;
        monday = next;
    }
}

void PlannerStore::loadMonth(MonthKey month, Planner& planner)
{
    if (loadedMonths_.contains(month))
        return;
    loadedMonths_.insert(month);
    pendingMonths_.insert(month);
    if (const auto record = read(Markdown::monthFileName(month), monthContent, false)) {
        planner.months.insert(month, record->content.things);
        filesRead_.months.insert(month);
    }
}

void PlannerStore::loadEverything(Planner& planner)
{
    const std::optional<QStringList> names = planFileNames(folder_);
    if (!names)
        return;
    // The files not loaded yet, in name order: a week by its Monday, else a month.
    struct Wanted {
        QString name;
        std::optional<Day> monday;
        MonthKey month;
        Decode decode;
    };
    QList<Wanted> wanted;
    for (const QString& name : *names) {
        // Two pieces between dashes, as "2024-W05" and "2024-05" have.
        std::array<QStringView, 2> pieces;
        qsizetype count = 0;
        for (const QStringView piece : QStringView(name).chopped(3).tokenize(u'-', Qt::SkipEmptyParts)) {
            if (count++ < 2)
                pieces[size_t(count - 1)] = piece;
        }
        if (count != 2)
            continue;
        const auto year = pemby::parseStrictInt32(pieces[0]);
        if (!year)
            continue;
        if (pieces[1].startsWith(u'W')) {
            const auto week = pemby::parseStrictInt32(pieces[1].sliced(1));
            if (!week)
                continue;
            const auto monday = mondayOfIsoWeek(*year, *week);
            if (!monday || loadedWeeks_.contains(*monday))
                continue;
            loadedWeeks_.insert(*monday);
            pendingWeeks_.insert(*monday);
            const Day day = *monday;
            // Read under the week's own name, as loading that week reads it.
            wanted.append(Wanted{Markdown::weekFileName(day), day, {},
                                 [day](QStringView text, PlanLayout* layout) { return weekContent(text, day, layout); }});
        } else {
            const auto month = pemby::parseStrictInt32(pieces[1]);
            if (!month || *month < 1 || *month > 12)
                continue;
            const MonthKey key{*year, *month};
            if (loadedMonths_.contains(key))
                continue;
            loadedMonths_.insert(key);
            pendingMonths_.insert(key);
            wanted.append(Wanted{Markdown::monthFileName(key), std::nullopt, key, monthContent});
        }
    }

    // Reading and decoding is most of a load, and each file's is its own: the threads
    // take the files one by one, and what they made goes into the plan here, in name
    // order, while they read on.
    std::vector<Fetched> fetched(size_t(wanted.size()));
    const QList<Wanted>& jobs = wanted;
    files_.reserve(files_.size() + wanted.size());
    constexpr qsizetype filesPerThread = 4;
    pemby::inParallel(
        wanted.size(), pemby::threadsFor(wanted.size(), filesPerThread),
        [&](qsizetype i) { fetched[size_t(i)] = fetch(pathOf(jobs[i].name), jobs[i].decode); },
        [&](qsizetype i) {
            const Wanted& file = jobs[i];
            const auto record = take(file.name, std::move(fetched[size_t(i)]), file.decode);
            if (!record)
                return;
            if (file.monday) {
                Markdown::putWeek(*file.monday, record->content.week, planner);
                filesRead_.weeks.insert(*file.monday);
            } else {
                planner.months.insert(file.month, record->content.things);
                filesRead_.months.insert(file.month);
            }
        });
}

bool PlannerStore::reloadIfChanged(Planner& planner)
{
    const ChangeWatch::Changes changes = watch_.take();
    if (!changes.everything) {
        // Only what the kernel told of, and what it cannot tell of.
        bool changed = false;
        for (const QString& name : changes.names)
            changed = reloadFile(name, planner) || changed;
        for (const QString& name : std::as_const(linked_)) {
            if (!changes.names.contains(name))
                changed = reloadFile(name, planner) || changed;
        }
        return changed;
    }
    bool changed = false;
    for (const Day monday : std::as_const(loadedWeeks_))
        changed = reloadWeek(monday, planner) || changed;
    for (const MonthKey month : std::as_const(loadedMonths_))
        changed = reloadMonth(month, planner) || changed;
    changed = reloadLists(planner) || changed;
    changed = reloadRepeats(planner) || changed;
    return changed;
}

bool PlannerStore::reloadFile(const QString& name, Planner& planner)
{
    if (name == Markdown::listsFileName())
        return reloadLists(planner);
    if (name == Markdown::repeatsFileName())
        return reloadRepeats(planner);
    // A week's or a month's file, by the name the store gives it: any other spelling of
    // the same week is no file of the plan's.
    if (!name.endsWith(u".md"))
        return false;
    const QStringView stem = QStringView(name).chopped(3);
    const qsizetype dash = stem.indexOf(u'-');
    if (dash < 0)
        return false;
    const auto year = pemby::parseStrictInt32(stem.first(dash));
    const QStringView rest = stem.sliced(dash + 1);
    if (!year)
        return false;
    if (rest.startsWith(u'W')) {
        const auto week = pemby::parseStrictInt32(rest.sliced(1));
        const auto monday = week ? mondayOfIsoWeek(*year, *week) : std::nullopt;
        if (!monday || !loadedWeeks_.contains(*monday) || Markdown::weekFileName(*monday) != name)
            return false;
        return reloadWeek(*monday, planner);
    }
    const auto number = pemby::parseStrictInt32(rest);
    if (!number || *number < 1 || *number > 12)
        return false;
    const MonthKey month{*year, *number};
    if (!loadedMonths_.contains(month) || Markdown::monthFileName(month) != name)
        return false;
    return reloadMonth(month, planner);
}

bool PlannerStore::reloadWeek(Day monday, Planner& planner)
{
    const auto decode = [monday](QStringView text, PlanLayout* layout) { return weekContent(text, monday, layout); };
    const auto record = read(Markdown::weekFileName(monday), decode, true);
    if (!record)
        return false;
    Markdown::putWeek(monday, record->content.week, planner);
    filesRead_.weeks.insert(monday);
    pendingWeeks_.insert(monday);
    return true;
}

bool PlannerStore::reloadMonth(MonthKey month, Planner& planner)
{
    const auto record = read(Markdown::monthFileName(month), monthContent, true);
    if (!record)
        return false;
    planner.months.insert(month, record->content.things);
    filesRead_.months.insert(month);
    pendingMonths_.insert(month);
    return true;
}

bool PlannerStore::reloadLists(Planner& planner)
{
    const auto record = read(Markdown::listsFileName(), listsContent, true);
    if (!record)
        return false;
    planner.lists = record->content.lists;
    filesRead_.lists = true;
    pendingLists_ = true;
    return true;
}

bool PlannerStore::reloadRepeats(Planner& planner)
{
    const auto record = read(Markdown::repeatsFileName(), rulesContent, true);
    if (!record)
        return false;
    planner.repeats = record->content.rules;
    filesRead_.repeats = true;
    pendingRepeats_ = true;
    return true;
}

std::optional<QString> PlannerStore::unreadableWeek(Day monday) const
{
    const auto why = unreadable_.constFind(Markdown::weekFileName(monday));
    if (why == unreadable_.cend())
        return std::nullopt;
    return *why;
}

// ---- Saving ------------------------------------------------------------------------

Status PlannerStore::save(const Planner& planner)
{
    // A file can hold something else than the plan says only where the plan differs
    // from the plan of the last save, or where a file was read or left unwritten since.
    // Copies of a plan share what they did not change, so finding those parts costs a
    // step per month of the days, not a look at every file.
    QSet<Day> weeks = std::exchange(pendingWeeks_, {});
    QSet<MonthKey> months = std::exchange(pendingMonths_, {});
    const auto touchWeek = [&](Day monday) {
        if (loadedWeeks_.contains(monday))
            weeks.insert(monday);
    };
    for (const Day day : planner.days.changedDays(saved_.days))
        touchWeek(day.monday());
    forEachDifference(planner.appliedRepeats, saved_.appliedRepeats, touchWeek);
    forEachDifference(planner.months, saved_.months, [&](MonthKey month) {
        if (loadedMonths_.contains(month))
            months.insert(month);
    });
    const bool lists = std::exchange(pendingLists_, false) || !(planner.lists == saved_.lists);
    const bool rules = std::exchange(pendingRepeats_, false) || !(planner.repeats == saved_.repeats);
    saved_ = planner;

    // Every file is rendered first. One that would be too large to read back stops
    // the whole save, so that a thing never leaves one file for one that is not
    // written: the folder stays as it was.
    QList<Failure> failures;
    QList<Prepared> prepared;
    for (const Day monday : sorted(weeks)) {
        if (!saveWeek(monday, planner, failures, prepared))
            pendingWeeks_.insert(monday);
    }
    for (const MonthKey month : sorted(months)) {
        if (!saveMonth(month, planner, failures, prepared))
            pendingMonths_.insert(month);
    }
    if (lists && !saveLists(planner, failures, prepared))
        pendingLists_ = true;
    if (rules && !saveRepeats(planner, failures, prepared))
        pendingRepeats_ = true;
    if (!failures.isEmpty()) {
        for (const Prepared& p : std::as_const(prepared))
            p.again();
        prepared.clear();
    }
    // One failed write must not keep the others from being written: every file is
    // tried, and the ones that failed are looked at again next time.
    for (Prepared& p : prepared) {
        if (const Status status = write(p.name, p.text, std::move(p.record)); !status) {
            failures.append(Failure{p.name, status.errorText()});
            p.again();
        }
    }

    if (failures.isEmpty())
        return {};
    // A failure all files share (the folder) is said once; others name their file.
    QStringList others;
    for (qsizetype i = 1; i < failures.size(); ++i) {
        if (failures[i].text != failures.first().text)
            others.append(failures[i].name);
    }
    return Error{failureText(failures.first().text, others)};
}

bool PlannerStore::saveWeek(Day monday, const Planner& planner, QList<Failure>& failures, QList<Prepared>& prepared)
{
    FileContent content;
    content.week = Markdown::weekOf(monday, planner);
    const bool hasContent = std::any_of(content.week.days.cbegin(), content.week.days.cend(),
                                        [](const QList<Thing>& things) { return !things.isEmpty(); })
        || !content.week.applied.value_or(QSet<QString>()).isEmpty();
    const auto render = [monday](const FileContent& c, PlanLayout* layout) { return Markdown::encodeWeek(monday, c.week, layout); };
    return store(Markdown::weekFileName(monday), content, hasContent, render, failures, prepared,
                 [this, monday] { pendingWeeks_.insert(monday); });
}

bool PlannerStore::saveMonth(MonthKey month, const Planner& planner, QList<Failure>& failures, QList<Prepared>& prepared)
{
    FileContent content;
    content.things = planner.months.value(month);
    const auto render = [month](const FileContent& c, PlanLayout* layout) { return Markdown::encodeMonth(month, c.things, layout); };
    return store(Markdown::monthFileName(month), content, !content.things.isEmpty(), render, failures, prepared,
                 [this, month] { pendingMonths_.insert(month); });
}

bool PlannerStore::saveLists(const Planner& planner, QList<Failure>& failures, QList<Prepared>& prepared)
{
    FileContent content;
    content.lists = planner.lists;
    const bool anyThing = std::any_of(planner.lists.cbegin(), planner.lists.cend(),
                                      [](const EventuallyList& l) { return !l.things.isEmpty(); });
    const bool defaultNames = planner.lists.size() == 1 && planner.lists.first().name == u"eventually";
    const auto render = [](const FileContent& c, PlanLayout* layout) { return Markdown::encodeLists(c.lists, layout); };
    return store(Markdown::listsFileName(), content, anyThing || !defaultNames, render, failures, prepared,
                 [this] { pendingLists_ = true; });
}

bool PlannerStore::saveRepeats(const Planner& planner, QList<Failure>& failures, QList<Prepared>& prepared)
{
    FileContent content;
    content.rules = planner.repeats;
    const auto render = [](const FileContent& c, PlanLayout* layout) { return Markdown::encodeRepeats(c.rules, layout); };
    return store(Markdown::repeatsFileName(), content, !content.rules.isEmpty(), render, failures, prepared,
                 [this] { pendingRepeats_ = true; });
}

bool PlannerStore::store(const QString& name, const FileContent& content, bool hasContent, const Render& render,
                         QList<Failure>& failures, QList<Prepared>& prepared, std::function<void()> again)
{
    // A file is written only when what it holds changed: an untouched file stays as it
    // is, whatever a rendering of it would look like. A new file is made only for
    // something to hold.
    const auto known = files_.constFind(name);
    // A file kept beside in a copy is the copy's to follow, emptied or not.
    const bool inCopy = conflicts_.contains(name);
    if (known != files_.cend() ? known->content == content : !hasContent && !inCopy)
        return true;
    FileRecord record;
    record.content = content;
    // While the plan's version lives in a copy, it is written in the copy's form.
    if (const auto conflict = conflicts_.constFind(name); conflict != conflicts_.cend() && conflict->layout)
        record.layout = *conflict->layout;
    else if (known != files_.cend())
        record.layout = known->layout;
    const QString text = render(content, &record.layout);
    // A file past what reading takes would never come back: it is not written, and
    // what the folder holds stays as it is.
    if (const qint64 bytes = text.size() * 3 > pemby::maxTextFileBytes ? text.toUtf8().size() : 0;
        bytes > pemby::maxTextFileBytes) {
        qCWarning(lcStore) << "not writing" << name << "past the size reading takes:" << bytes;
        failures.append(Failure{name, QStringLiteral("%1 would be too large (%2), so the change isn't saved")
                                          .arg(name, pemby::sizeOverLimit(bytes, pemby::maxTextFileBytes))});
        return false;
    }
    prepared.append(Prepared{name, text, std::move(record), std::move(again)});
    return true;
}

Status PlannerStore::write(const QString& name, const QString& text, FileRecord record)
{
    const auto known = files_.constFind(name);
    const bool isKnown = known != files_.cend();
    const TextDigest digest = TextDigest::of(text);
    if (isKnown && known->text == digest) {
        record.text = known->text;
        record.stamp = known->stamp;
        files_.insert(name, std::move(record));
        return {};
    }

    // Sync clients and editors rewrite files behind our back: compare with the disk
    // before writing, so that their version is never lost.
    const QString path = pathOf(name);
    const pemby::TextFile disk = pemby::readTextFile(path);
    switch (disk.state) {
    case pemby::TextFile::State::Unreadable: {
        qCWarning(lcStore) << "not overwriting" << name << "which can't be read:" << disk.error;
        const QString why = QStringLiteral("%1 can't be read (%2)").arg(name, disk.error);
        unreadable_.insert(name, why);
        return keepBoth(name, std::nullopt, text, why, record.layout);
    }
    case pemby::TextFile::State::Read: {
        const TextDigest onDisk = TextDigest::of(disk.text);
        if (isKnown && known->text == onDisk)
            break;
        if (onDisk == digest) {
            record.text = digest;  // someone else wrote just what we meant to
            files_.insert(name, std::move(record));
            conflicts_.remove(name);
            return {};
        }
        unreadable_.remove(name);
        return keepBoth(name, disk.text, text, QStringLiteral("%1 was changed elsewhere").arg(name), record.layout);
    }
    case pemby::TextFile::State::Missing:
        break;
    }
    unreadable_.remove(name);

    if (const Status made = pemby::makeFolder(folder_); !made) {
        qCWarning(lcStore) << made.errorText();
        return made;
    }
    const QByteArray bytes = text.toUtf8();
    if (const Status status = pemby::writeFileAtomic(path, bytes); !status) {
        qCWarning(lcStore) << "can't write" << name << status.errorText();
        return Error{QStringLiteral("couldn't write %1 (%2)").arg(name, status.errorText())};
    }
    record.text = digest;
    files_.insert(name, std::move(record));
    conflicts_.remove(name);
    return {};
}

namespace {

// The line that ties a copy to the unreadable file it was kept beside, as that file
// was: the next run finds the copy again by it, for as long as the file stays so.
QString copyMark(const QString& name, const QString& state)
{
    return QStringLiteral("<!-- your version of %1, which couldn't be read (%2) -->").arg(name, state);
}

// The copy's text is the file's, with its mark under the first line.
QString withMark(const QString& text, const QString& mark)
{
    const qsizetype end = text.indexOf(u'\n');
    if (end < 0)
        return text + u'\n' + mark + u'\n';
    return text.first(end + 1) + mark + u'\n' + text.sliced(end + 1);
}

std::optional<QString> withoutMark(const QString& text, const QString& mark)
{
    const qsizetype first = text.indexOf(u'\n');
    if (first < 0 || !QStringView(text).sliced(first + 1).startsWith(mark + u'\n'))
        return std::nullopt;
    return text.first(first + 1) + text.sliced(first + 1 + mark.size() + 1);
}

} // namespace

QString PlannerStore::unreadableState(const QString& name) const
{
    // By its bytes where they can be had: a sync client may touch the time alone.
    if (const Result<QByteArray> bytes = pemby::readBytes(pathOf(name), pemby::maxTextFileBytes)) {
        return QStringLiteral("%1 bytes, SHA-256 %2")
            .arg(bytes.value().size())
            .arg(QString::fromLatin1(QCryptographicHash::hash(bytes.value(), QCryptographicHash::Sha256).toHex()));
    }
    struct stat info {};
    if (::lstat(QFile::encodeName(pathOf(name)).constData(), &info) != 0)
        return QStringLiteral("gone");
    return QStringLiteral("%1 bytes, modified %2.%3")
        .arg(qint64(info.st_size))
        .arg(qint64(info.st_mtim.tv_sec))
        .arg(qint64(info.st_mtim.tv_nsec), 9, 10, QLatin1Char('0'));
}

std::optional<PlannerStore::FileRecord> PlannerStore::readCopy(const QString& name, const Decode& decode)
{
    const QString base = name.endsWith(u".md") ? name.chopped(3) : name;
    const QString state = unreadableState(name);
    const QString mark = copyMark(name, state);
    QStringList copies = QDir(folder_).entryList({base + QStringLiteral(" (conflict *).md")}, QDir::Files, QDir::Name);
    // The newest first: its name carries the time it was made.
    for (auto copy = copies.crbegin(); copy != copies.crend(); ++copy) {
        pemby::TextFile file = pemby::readTextFile(pathOf(*copy));
        if (file.state != pemby::TextFile::State::Read)
            continue;
        const auto text = withoutMark(file.text, mark);
        if (!text)
            continue;
        FileRecord record;
        record.content = decode(*text, &record.layout);
        record.text = TextDigest::of(*text);
        conflicts_.insert(name, Conflict{std::nullopt, state, *text, *copy, record.layout});
        qCWarning(lcStore) << "reading" << name << "from" << *copy << "while it can't be read";
        return record;
    }
    return std::nullopt;
}

Status PlannerStore::keepBoth(const QString& name, const std::optional<QString>& outside, const QString& ours,
                              const QString& why, const PlanLayout& layout)
{
    const auto reported = [&](const QString& copyName) {
        return Error{why + QStringLiteral("; your version is in ") + copyName};
    };
    // One outside version gets one copy, which follows every edit made until that
    // version is read back, also in later runs; a further outside change gets a copy of
    // its own.
    const QString state = outside ? QString() : unreadableState(name);
    const auto earlier = conflicts_.find(name);
    const bool sameOutside = earlier != conflicts_.end()
        && (outside && earlier->outside ? sameText(*outside, *earlier->outside)
                                        : !outside && !earlier->outside && state == earlier->unreadable);
    const QString copyName = sameOutside ? earlier->copyName : freeConflictName(name);
    if (sameOutside && earlier->ours == ours)
        return reported(copyName);

    if (const Status made = pemby::makeFolder(folder_); !made)
        return made;
    const QString copyText = outside ? ours : withMark(ours, copyMark(name, state));
    if (const Status status = pemby::writeTextFileAtomic(pathOf(copyName), copyText); !status) {
        qCWarning(lcStore) << "can't write the conflict copy of" << name << status.errorText();
        return Error{why + QStringLiteral(", and your version couldn't be saved beside it (%1)").arg(status.errorText())};
    }
    qCWarning(lcStore) << name << "kept as it is on disk; this plan's version is in" << copyName;
    conflicts_.insert(name, Conflict{outside, state, ours, copyName, layout});
    return reported(copyName);
}

// "2024-W05 (conflict 2024-03-01 101530).md": the date's dashes give the name more
// than two dash-separated pieces, so no loader takes it for a week or a month file.
QString PlannerStore::freeConflictName(const QString& name) const
{
    const QString base = name.endsWith(u".md") ? name.chopped(3) : name;
    const QString stamp = (now_ ? now_() : QDateTime::currentDateTime()).toString(u"yyyy-MM-dd HHmmss");
    for (int n = 1;; ++n) {
        const QString suffix = n == 1 ? QString() : u' ' + QString::number(n);
        const QString candidate = base + QStringLiteral(" (conflict ") + stamp + suffix + QStringLiteral(").md");
        // A dangling link takes a name as much as a file does.
        if (!pemby::entryExists(pathOf(candidate)))
            return candidate;
    }
}

