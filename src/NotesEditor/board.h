#pragma once
// The notes arranged in named columns, like cards on a wall, and the set of notes
// kept off the board. The board lives in "board.json" of the notes folder, which
// the sibling notes app reads and writes too:
//   {"cards": {column id: [note ids, top to bottom]},
//    "columns": [{"id": ..., "title": ...}, left to right],
//    "offBoard": [note ids]}          (optional when reading)
// Other members are ignored.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

struct BoardColumn {
    QString id;
    QString title;
    bool operator==(const BoardColumn&) const = default;
};

class Board {
public:
    struct Location {
        QString columnID;
        int index = 0;
        bool operator==(const Location&) const = default;
    };

    // Normalizing: at least one column ("To Do" when none is given), a card list
    // for every column and for nothing else, and no card both in a column and off
    // the board.
    Board(QList<BoardColumn> columns, QMap<QString, QStringList> cards, QSet<QString> offBoard);

    static QStringList defaultTitles();
    // "To Do", "Doing", "Done" with fresh ids: no two standard boards are equal.
    static Board standard();

    // Strict: "cards" and "columns" are required, and a member of the wrong type
    // fails the whole board.
    static std::optional<Board> fromJson(const QByteArray& json);
    // Indented, keys sorted, "offBoard" in sorted order.
    QByteArray toJson() const;

    const QList<BoardColumn>& columns() const { return columns_; }
    const QMap<QString, QStringList>& cards() const { return cards_; }
    const QSet<QString>& offBoard() const { return offBoard_; }

    // The first column with that id.
    std::optional<BoardColumn> column(const QString& columnID) const;
    QStringList noteIDs(const QString& columnID) const;
    // The first column, left to right, that holds the note, and its first place there.
    std::optional<Location> location(const QString& noteID) const;
    bool isOnBoard(const QString& noteID) const;
    // Column by column, left to right: a note listed twice maps to the later column.
    QMap<QString, QString> columnIDByNote() const;
    QStringList allNoteIDs() const;

    // Keeps the known notes where they are (each at its first place only), drops
    // every other id, and puts every known note that is in no column off the board.
    void reconcile(const QStringList& noteIDs);
    // To the top of the first column.
    void insertNew(const QString& noteID);
    void remove(const QString& noteID);
    void takeOff(const QString& noteID);
    // False, and nothing changes, when there is no such column.
    bool move(const QString& noteID, const QString& columnID, int index);
    // Cards dragged from above `row` within the same column land where that row is now.
    void place(const QStringList& noteIDs, const QString& columnID, int aboveRow);

    // The title is kept as given; no index appends at the right end.
    BoardColumn addColumn(const QString& title, std::optional<int> index = std::nullopt);
    // A blank title changes nothing.
    void renameColumn(const QString& columnID, const QString& title);
    // The last column cannot go. The cards move to the bottom of the column on the
    // left, or to the top of the new first column.
    bool deleteColumn(const QString& columnID);
    void moveColumn(const QString& columnID, int index);

    bool operator==(const Board&) const = default;

private:
    void removeEverywhere(const QString& noteID);
    qsizetype indexOfColumn(const QString& columnID) const;

    QList<BoardColumn> columns_;
    QMap<QString, QStringList> cards_;
    QSet<QString> offBoard_;
};
