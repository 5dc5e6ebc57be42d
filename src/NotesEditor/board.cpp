#include "board.h"

#include "textutil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

std::optional<QStringList> stringList(const QJsonValue& value)
{
    if (!value.isArray())
        return std::nullopt;
    QStringList out;
    for (const QJsonValue& item : value.toArray()) {
        if (!item.isString())
            return std::nullopt;
        out.append(item.toString());
    }
    return out;
}

qsizetype clamped(qsizetype value, qsizetype high)
{
    return std::clamp<qsizetype>(value, 0, high);
}

} // namespace

Board::Board(QList<BoardColumn> columns, QMap<QString, QStringList> cards, QSet<QString> offBoard)
    : columns_(std::move(columns)), offBoard_(std::move(offBoard))
{
    if (columns_.isEmpty())
        columns_.append({pemby::newUuidUpper(), QStringLiteral("To Do")});
    for (const BoardColumn& column : std::as_const(columns_))
        cards_.insert(column.id, cards.value(column.id));
    for (const QStringList& list : std::as_const(cards_)) {
        for (const QString& id : list)
            offBoard_.remove(id);
    }
}

QStringList Board::defaultTitles()
{
    return {QStringLiteral("To Do"), QStringLiteral("Doing"), QStringLiteral("Done")};
}

Board Board::standard()
{
    QList<BoardColumn> columns;
    for (const QString& title : defaultTitles())
        columns.append({pemby::newUuidUpper(), title});
    return Board(std::move(columns), {}, {});
}

std::optional<Board> Board::fromJson(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();

    const QJsonValue cardsValue = object.value(QStringLiteral("cards"));
    if (!cardsValue.isObject())
        return std::nullopt;
    QMap<QString, QStringList> cards;
    const QJsonObject cardsObject = cardsValue.toObject();
    for (auto it = cardsObject.begin(); it != cardsObject.end(); ++it) {
        auto list = stringList(it.value());
        if (!list)
            return std::nullopt;
        cards.insert(it.key(), std::move(*list));
    }

    const QJsonValue columnsValue = object.value(QStringLiteral("columns"));
    if (!columnsValue.isArray())
        return std::nullopt;
    QList<BoardColumn> columns;
    for (const QJsonValue& item : columnsValue.toArray()) {
        if (!item.isObject())
            return std::nullopt;
        const QJsonValue id = item.toObject().value(QStringLiteral("id"));
        const QJsonValue title = item.toObject().value(QStringLiteral("title"));
        if (!id.isString() || !title.isString())
            return std::nullopt;
        columns.append({id.toString(), title.toString()});
    }

    // Absent or null: nothing is off the board.
    QSet<QString> offBoard;
    const QJsonValue offBoardValue = object.value(QStringLiteral("offBoard"));
    if (!offBoardValue.isUndefined() && !offBoardValue.isNull()) {
        const auto list = stringList(offBoardValue);
        if (!list)
            return std::nullopt;
        offBoard = QSet<QString>(list->begin(), list->end());
    }
    return Board(std::move(columns), std::move(cards), std::move(offBoard));
}

QByteArray Board::toJson() const
{
    QJsonObject cards;
    for (auto it = cards_.begin(); it != cards_.end(); ++it)
        cards.insert(it.key(), QJsonArray::fromStringList(it.value()));
    QJsonArray columns;
    for (const BoardColumn& column : columns_)
        columns.append(QJsonObject{{QStringLiteral("id"), column.id}, {QStringLiteral("title"), column.title}});
    QStringList offBoard = offBoard_.values();
    std::sort(offBoard.begin(), offBoard.end());
    const QJsonObject object{{QStringLiteral("cards"), cards},
                             {QStringLiteral("columns"), columns},
                             {QStringLiteral("offBoard"), QJsonArray::fromStringList(offBoard)}};
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

qsizetype Board::indexOfColumn(const QString& columnID) const
{
    for (qsizetype i = 0; i < columns_.size(); ++i) {
        if (columns_[i].id == columnID)
            return i;
    }
    return -1;
}

std::optional<BoardColumn> Board::column(const QString& columnID) const
{
    const qsizetype i = indexOfColumn(columnID);
    if (i < 0)
        return std::nullopt;
    return columns_[i];
}

QStringList Board::noteIDs(const QString& columnID) const
{
    return cards_.value(columnID);
}

std::optional<Board::Location> Board::location(const QString& noteID) const
{
    for (const BoardColumn& column : columns_) {
        const qsizetype index = cards_.value(column.id).indexOf(noteID);
        if (index >= 0)
            return Location{column.id, int(index)};
    }
    return std::nullopt;
}

bool Board::isOnBoard(const QString& noteID) const
{
    return location(noteID).has_value();
}

QMap<QString, QString> Board::columnIDByNote() const
{
    QMap<QString, QString> map;
    for (const BoardColumn& column : columns_) {
        for (const QString& id : cards_.value(column.id))
            map.insert(id, column.id);
    }
    return map;
}

QStringList Board::allNoteIDs() const
{
    QStringList ids;
    for (const BoardColumn& column : columns_)
        ids.append(cards_.value(column.id));
    return ids;
}

void Board::reconcile(const QStringList& noteIDs)
{
    const QSet<QString> known(noteIDs.begin(), noteIDs.end());
    QSet<QString> placed;
    for (const BoardColumn& column : std::as_const(columns_)) {
        QStringList kept;
        for (const QString& id : cards_.value(column.id)) {
            if (known.contains(id) && !placed.contains(id)) {
                kept.append(id);
                placed.insert(id);
            }
        }
        cards_.insert(column.id, kept);
    }
    offBoard_ = known - placed;
}

void Board::removeEverywhere(const QString& noteID)
{
    for (QStringList& list : cards_)
        list.removeAll(noteID);
}

void Board::insertNew(const QString& noteID)
{
    removeEverywhere(noteID);
    offBoard_.remove(noteID);
    cards_[columns_.first().id].prepend(noteID);
}

void Board::remove(const QString& noteID)
{
    removeEverywhere(noteID);
    offBoard_.remove(noteID);
}

void Board::takeOff(const QString& noteID)
{
    removeEverywhere(noteID);
    offBoard_.insert(noteID);
}

bool Board::move(const QString& noteID, const QString& columnID, int index)
{
    if (indexOfColumn(columnID) < 0)
        return false;
    removeEverywhere(noteID);
    offBoard_.remove(noteID);
    QStringList& list = cards_[columnID];
    list.insert(clamped(index, list.size()), noteID);
    return true;
}

void Board::place(const QStringList& noteIDs, const QString& columnID, int aboveRow)
{
    if (indexOfColumn(columnID) < 0 || noteIDs.isEmpty())
        return;
    // Each card has one place, so an id given twice is placed once.
    QStringList moving;
    for (const QString& id : noteIDs) {
        if (!moving.contains(id))
            moving.append(id);
    }
    const QStringList& before = cards_[columnID];
    const qsizetype row = clamped(aboveRow, before.size());
    const qsizetype movedAbove =
        std::count_if(before.begin(), before.begin() + row, [&](const QString& id) { return moving.contains(id); });
    for (const QString& id : moving)
        removeEverywhere(id);
    QStringList& list = cards_[columnID];
    const qsizetype at = clamped(row - movedAbove, list.size());
    for (qsizetype i = 0; i < moving.size(); ++i)
        list.insert(at + i, moving[i]);
    for (const QString& id : moving)
        offBoard_.remove(id);
}

BoardColumn Board::addColumn(const QString& title, std::optional<int> index)
{
    const BoardColumn column{pemby::newUuidUpper(), title};
    columns_.insert(index ? clamped(*index, columns_.size()) : columns_.size(), column);
    cards_.insert(column.id, {});
    return column;
}

void Board::renameColumn(const QString& columnID, const QString& title)
{
    const QString trimmed = pemby::trimWhitespace(title);
    const qsizetype i = indexOfColumn(columnID);
    if (trimmed.isEmpty() || i < 0)
        return;
    columns_[i].title = trimmed;
}

bool Board::deleteColumn(const QString& columnID)
{
    const qsizetype i = indexOfColumn(columnID);
    if (columns_.size() < 2 || i < 0)
        return false;
    const QStringList moved = cards_.value(columnID);
    columns_.removeAt(i);
    if (indexOfColumn(columnID) < 0)
        cards_.remove(columnID);
    else
        cards_.insert(columnID, {});  // another column shares the id and keeps an empty list
    if (i > 0)
        cards_[columns_[i - 1].id].append(moved);
    else
        cards_[columns_.first().id] = moved + cards_.value(columns_.first().id);
    return true;
}

void Board::moveColumn(const QString& columnID, int index)
{
    const qsizetype i = indexOfColumn(columnID);
    if (i < 0)
        return;
    const BoardColumn column = columns_.takeAt(i);
    columns_.insert(clamped(index, columns_.size()), column);
}
