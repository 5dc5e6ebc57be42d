#include "plannerstore.h"

#include "logcategories.h"
#include "markdown.h"
#include "textfile.h"
#include "textutil.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <limits>

namespace {

// Texts compare as canonically equivalent Unicode: a file whose accents a sync service
// decomposed is still the text we wrote.
bool sameText(const QString& a, const QString& b)
{
    if (a == b)
        return true;
    return a.normalized(QString::NormalizationForm_C) == b.normalized(QString::NormalizationForm_C);
}

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

constexpr qint64 maxNoteBytes = 64 * 1024 * 1024;

} // namespace

PlannerStore::PlannerStore(QString folder) : folder_(std::move(folder)) {}

QString PlannerStore::pathOf(const QString& name) const
{
    return folder_ + u'/' + name;
}

std::optional<QString> PlannerStore::read(const QString& name)
{
    pemby::TextFile file = pemby::readTextFile(pathOf(name));
    if (file.state == pemby::TextFile::State::Unreadable)
        qCWarning(lcStore) << "can't read" << name << file.error;
    if (file.state != pemby::TextFile::State::Read)
        return std::nullopt;
    known_.insert(name, file.text);
    return std::move(file.text);
}

std::optional<QString> PlannerStore::readIfChanged(const QString& name)
{
    pemby::TextFile file = pemby::readTextFile(pathOf(name));
    if (file.state != pemby::TextFile::State::Read)
        return std::nullopt;
    const auto known = known_.constFind(name);
    if (known != known_.cend() && sameText(*known, file.text))
        return std::nullopt;
    known_.insert(name, file.text);
    conflicts_.remove(name);
    return std::move(file.text);
}

void PlannerStore::loadBase(Planner& planner)
{
    if (const auto text = read(Markdown::listsFileName())) {
        planner.lists = Markdown::decodeLists(*text);
        filesRead_.lists = true;
    }
    if (const auto text = read(Markdown::repeatsFileName())) {
        planner.repeats = Markdown::decodeRepeats(*text);
        filesRead_.repeats = true;
    }
    planner.ensureLists();
}

void PlannerStore::loadWeek(Day monday, Planner& planner)
{
    if (loadedWeeks_.contains(monday))
        return;
    loadedWeeks_.insert(monday);
    if (const auto text = read(Markdown::weekFileName(monday))) {
        Markdown::decodeWeek(*text, monday, planner);
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
    if (const auto text = read(Markdown::monthFileName(month))) {
        planner.months.insert(month, Markdown::decodeMonth(*text));
        filesRead_.months.insert(month);
    }
}

void PlannerStore::loadEverything(Planner& planner)
{
    const QDir dir(folder_);
    if (!dir.exists())
        return;
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
        if (!name.endsWith(u".md"))
            continue;
        const QStringList pieces = name.chopped(3).split(u'-', Qt::SkipEmptyParts);
        if (pieces.size() != 2)
            continue;
        const auto year = pemby::parseStrictInt32(pieces[0]);
        if (!year)
            continue;
        if (pieces[1].startsWith(u'W')) {
            const auto week = pemby::parseStrictInt32(QStringView(pieces[1]).sliced(1));
            if (!week)
                continue;
            if (const auto monday = mondayOfIsoWeek(*year, *week))
                loadWeek(*monday, planner);
        } else {
            const auto month = pemby::parseStrictInt32(pieces[1]);
            if (month && *month >= 1 && *month <= 12)
                loadMonth(MonthKey{*year, *month}, planner);
        }
    }
}

QString PlannerStore::render(const QString& name, Rendering input, const std::function<QString()>& encode)
{
    const auto earlier = rendered_.constFind(name);
    if (earlier != rendered_.cend() && earlier->sameInput(input))
        return earlier->text;
    input.text = encode();
    return rendered_.insert(name, std::move(input))->text;
}

Status PlannerStore::save(const Planner& planner)
{
    QStringList failures;
    const auto attempt = [&](const QString& name, const QString& text) {
        if (const Status status = write(name, text); !status)
            failures.append(status.errorText());
    };

    for (const Day monday : sorted(loadedWeeks_)) {
        Rendering input;
        input.applied = planner.appliedRepeats.value(monday);
        bool content = !input.applied.isEmpty();
        for (int i = 0; i < 7; ++i) {
            const auto day = planner.days.constFind(monday.adding(i));
            if (day != planner.days.cend()) {
                content = true;
                input.things[i] = *day;
            }
        }
        const QString name = Markdown::weekFileName(monday);
        if (content || known_.contains(name))
            attempt(name, render(name, std::move(input), [&] { return Markdown::encodeWeek(monday, planner); }));
    }
    for (const MonthKey month : sorted(loadedMonths_)) {
        Rendering input;
        input.things[0] = planner.months.value(month);
        const QString name = Markdown::monthFileName(month);
        if (!input.things[0].isEmpty() || known_.contains(name))
            attempt(name, render(name, std::move(input), [&] { return Markdown::encodeMonth(month, planner.months.value(month)); }));
    }
    {
        const bool anyThing = std::any_of(planner.lists.cbegin(), planner.lists.cend(),
                                          [](const EventuallyList& l) { return !l.things.isEmpty(); });
        const bool defaultNames = planner.lists.size() == 1 && planner.lists.first().name == u"eventually";
        const QString name = Markdown::listsFileName();
        Rendering input;
        input.lists = planner.lists;
        if (anyThing || !defaultNames || known_.contains(name))
            attempt(name, render(name, std::move(input), [&] { return Markdown::encodeLists(planner.lists); }));
    }
    {
        const QString name = Markdown::repeatsFileName();
        Rendering input;
        input.rules = planner.repeats;
        if (!planner.repeats.isEmpty() || known_.contains(name))
            attempt(name, render(name, std::move(input), [&] { return Markdown::encodeRepeats(planner.repeats); }));
    }

    if (failures.isEmpty())
        return {};
    // One refused or failed file must not keep the others from being written, so every
    // file is tried and the first failure is reported.
    QString text = failures.first();
    if (failures.size() > 1)
        text += QStringLiteral(" (and %1 more)").arg(failures.size() - 1);
    return Error{text};
}

Status PlannerStore::write(const QString& name, const QString& text)
{
    const auto known = known_.constFind(name);
    if (known != known_.cend() && sameText(*known, text))
        return {};

    // Sync clients and editors rewrite files behind our back: compare with the disk
    // before writing, so that their version is never lost.
    const QString path = pathOf(name);
    const pemby::TextFile disk = pemby::readTextFile(path);
    switch (disk.state) {
    case pemby::TextFile::State::Unreadable:
        qCWarning(lcStore) << "not overwriting" << name << "which can't be read:" << disk.error;
        return Error{QStringLiteral("%1 can't be read (%2), so it was left as it is").arg(name, disk.error)};
    case pemby::TextFile::State::Read:
        if (known != known_.cend() && sameText(*known, disk.text))
            break;
        if (sameText(disk.text, text)) {
            known_.insert(name, disk.text);  // someone else wrote just what we meant to
            conflicts_.remove(name);
            return {};
        }
        return keepBoth(name, disk.text, text);
    case pemby::TextFile::State::Missing:
        break;
    }

    if (!QDir().mkpath(folder_)) {
        qCWarning(lcStore) << "can't create the folder" << folder_;
        return Error{QStringLiteral("couldn't create the folder")};
    }
    if (const Status status = pemby::writeTextFileAtomic(path, text); !status) {
        qCWarning(lcStore) << "can't write" << name << status.errorText();
        return status;
    }
    known_.insert(name, text);
    conflicts_.remove(name);
    return {};
}

Status PlannerStore::keepBoth(const QString& name, const QString& outside, const QString& ours)
{
    const auto reported = [&](const QString& copyName) {
        return Error{QStringLiteral("%1 was changed elsewhere; your version is in %2").arg(name, copyName)};
    };
    // Every save until the outside text is read back meets the same conflict; one copy
    // of one version is enough.
    if (const auto earlier = conflicts_.constFind(name);
        earlier != conflicts_.cend() && earlier->outside == outside && earlier->ours == ours)
        return reported(earlier->copyName);

    const QString copyName = freeConflictName(name);
    if (const Status status = pemby::writeTextFileAtomic(pathOf(copyName), ours); !status) {
        qCWarning(lcStore) << "can't write the conflict copy of" << name << status.errorText();
        return Error{QStringLiteral("%1 was changed elsewhere, and your version couldn't be saved beside it: %2")
                         .arg(name, status.errorText())};
    }
    qCWarning(lcStore) << name << "changed on disk; kept it and wrote" << copyName;
    conflicts_.insert(name, Conflict{outside, ours, copyName});
    return reported(copyName);
}

// "2024-W05 (conflict 2024-03-01 101530).md": the date's dashes give the name more
// than two dash-separated pieces, so no loader takes it for a week or a month file.
QString PlannerStore::freeConflictName(const QString& name) const
{
    const QString base = name.endsWith(u".md") ? name.chopped(3) : name;
    const QString stamp = QDateTime::currentDateTime().toString(u"yyyy-MM-dd HHmmss");
    for (int n = 1;; ++n) {
        const QString suffix = n == 1 ? QString() : u' ' + QString::number(n);
        const QString candidate = base + QStringLiteral(" (conflict ") + stamp + suffix + QStringLiteral(").md");
        if (!QFileInfo::exists(pathOf(candidate)))
            return candidate;
    }
}

bool PlannerStore::reloadIfChanged(Planner& planner)
{
    bool changed = false;
    for (const Day monday : sorted(loadedWeeks_)) {
        if (const auto text = readIfChanged(Markdown::weekFileName(monday))) {
            Markdown::decodeWeek(*text, monday, planner);
            filesRead_.weeks.insert(monday);
            changed = true;
        }
    }
    for (const MonthKey month : sorted(loadedMonths_)) {
        if (const auto text = readIfChanged(Markdown::monthFileName(month))) {
            planner.months.insert(month, Markdown::decodeMonth(*text));
            filesRead_.months.insert(month);
            changed = true;
        }
    }
    if (const auto text = readIfChanged(Markdown::listsFileName())) {
        planner.lists = Markdown::decodeLists(*text);
        planner.ensureLists();
        filesRead_.lists = true;
        changed = true;
    }
    if (const auto text = readIfChanged(Markdown::repeatsFileName())) {
        planner.repeats = Markdown::decodeRepeats(*text);
        filesRead_.repeats = true;
        changed = true;
    }
    return changed;
}

std::optional<QString> PlannerStore::notePath(const QString& id) const
{
    if (id.isEmpty())
        return std::nullopt;
    for (const char32_t c : id.toUcs4()) {
        if (c != U'-' && !QChar::isLetterOrNumber(c))
            return std::nullopt;
    }
    return folder_ + QStringLiteral("/notes/") + id + QStringLiteral(".rtf");
}

std::optional<QByteArray> PlannerStore::readNote(const QString& id) const
{
    const auto path = notePath(id);
    if (!path)
        return std::nullopt;
    Result<QByteArray> bytes = pemby::readBytes(*path, maxNoteBytes);
    if (!bytes)
        return std::nullopt;
    return std::move(bytes).value();
}

Status PlannerStore::writeNote(const QString& id, const QByteArray& bytes)
{
    const auto path = notePath(id);
    if (!path)
        return {};
    if (!QDir().mkpath(folder_ + QStringLiteral("/notes")))
        return Error{QStringLiteral("couldn't create the notes folder")};
    return pemby::writeFileAtomic(*path, bytes);
}
