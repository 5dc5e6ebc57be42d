#pragma once
// The pieces both detail popovers are made of: the title field, the steps with their
// add line, the note button, the labelled lines, link-style buttons, the switch and
// the divider.
//
// API
//   auto* title = new DetailTitle(thing.title, this);           Return: returnPressed()
//   auto* steps = new StepsEditor(thing.steps, this);            working copy of the steps
//   connect(steps, &StepsEditor::saveAsked, this, &Detail::save);   after a tick, a
//                                                                Return, an added step
//   auto* note = new NoteBlock(this);  note->setNote(thing.note);  clicked() opens it
//   auto* line = detailLine(QStringLiteral("Date"), {picker}, this);
//
// The working copies keep what was typed, blank steps included; the detail decides
// what to write. Every text shown is plain text.

#include "palette.h"
#include "things.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QList>
#include <QWidget>

class CheckButton;
class QVBoxLayout;

namespace DetailMetrics {
constexpr int width = 304;
constexpr int padding = 16;
constexpr int spacing = 12;
} // namespace DetailMetrics

// A frameless one-line field of a detail in the system font at `pixelSize`.
class DetailField : public QLineEdit {
    Q_OBJECT
public:
    DetailField(const QString& text, const QString& placeholder, int pixelSize, QWidget* parent = nullptr);
    // Faint and struck through, as a done step.
    void setDone(bool done);
};

// The title: "What is it", 15 semibold.
class DetailTitle : public DetailField {
    Q_OBJECT
public:
    explicit DetailTitle(const QString& title, QWidget* parent = nullptr);
};

class StepsEditor : public QWidget {
    Q_OBJECT
public:
    explicit StepsEditor(const QList<Step>& steps, QWidget* parent = nullptr);

    // As typed: blank ones too, and titles untrimmed.
    const QList<Step>& steps() const { return steps_; }
    // The steps worth keeping: those whose title is not blank, as typed, and the one
    // being typed into the last line.
    QList<Step> kept() const;

    DetailField* addField() const { return add_; }

signals:
    void saveAsked();

private:
    void addLine(int index);
    void addStep();

    QList<Step> steps_;
    QVBoxLayout* lines_ = nullptr;
    DetailField* add_ = nullptr;
};

// The note as a button on a well: up to four lines of it, or "Add a note".
class NoteBlock : public QAbstractButton {
    Q_OBJECT
public:
    explicit NoteBlock(QWidget* parent = nullptr);
    void setNote(const QString& note);
    const QString& note() const { return note_; }

    // The lines shown at most.
    static constexpr int maxLines = 4;
    // The text as it is laid out in the block's width now.
    QStringList shownLines() const;

    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QStringList lines(int width) const;

    QString note_;
};

// A text button in the link colour.
class LinkButton : public QAbstractButton {
    Q_OBJECT
public:
    LinkButton(const QString& text, int pixelSize, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The small on-off switch.
class SwitchToggle : public QAbstractButton {
    Q_OBJECT
public:
    explicit SwitchToggle(QWidget* parent = nullptr);
    QSize sizeHint() const override { return QSize(28, 16); }

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A hairline across the detail.
class DetailDivider : public QWidget {
    Q_OBJECT
public:
    explicit DetailDivider(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The parts at the top of both details, in the detail's column.
struct DetailTop {
    QVBoxLayout* column = nullptr;
    DetailTitle* title = nullptr;
    StepsEditor* steps = nullptr;
    NoteBlock* note = nullptr;
};
// Lays `detail` out as a detail (its width, padding and spacing) and puts in the title,
// the steps and the note; what they do is for the detail to connect.
DetailTop makeDetailTop(QWidget* detail, const QString& title, const QList<Step>& steps);

// A plain label of a detail: 13 (or `pixelSize`) in `color`.
QWidget* detailLabel(const QString& text, const PembyColor& color, QWidget* parent, int pixelSize = 13);
// A labelled line: the muted label, a spacer, then the controls at their natural size.
QWidget* detailLine(const QString& label, const QList<QWidget*>& controls, QWidget* parent);
