#include "detailparts.h"

#include "checkbutton.h"
#include "pixelgrid.h"
#include "pixelview.h"
#include "rowtext.h"
#include "textutil.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QVBoxLayout>

namespace {

constexpr int noteSize = 13;
constexpr int notePadX = 12;
constexpr int notePadY = 10;
constexpr int noteGap = 8;
constexpr qreal noteRadius = 10;

} // namespace

DetailField::DetailField(const QString& text, const QString& placeholder, int pixelSize, QWidget* parent)
    : QLineEdit(text, parent)
{
    setPlaceholderText(placeholder);
    setFont(sizedFont(font(), pixelSize));
    setFrame(false);
    QPalette p = palette();
    p.setColor(QPalette::Base, Qt::transparent);
    setPalette(p);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    setCursorPosition(0);
}

void DetailField::setDone(bool done)
{
    QFont f = font();
    f.setStrikeOut(done);
    setFont(f);
    QPalette p = palette();
    p.setColor(QPalette::Text, done ? Palette::pembyFaint : Palette::pembyText);
    setPalette(p);
}

DetailTitle::DetailTitle(const QString& title, QWidget* parent)
    : DetailField(title, QStringLiteral("What is it"), 15, parent)
{
    setFont(sizedFont(font(), 15, QFont::DemiBold));
    setObjectName(QStringLiteral("title"));
    // A long title shows its beginning until the user goes into it.
    setCursorPosition(0);
}

StepsEditor::StepsEditor(const QList<Step>& steps, QWidget* parent) : QWidget(parent), steps_(steps)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    lines_ = new QVBoxLayout;
    lines_->setContentsMargins(0, 0, 0, 0);
    lines_->setSpacing(6);
    column->addLayout(lines_);
    for (int i = 0; i < steps_.size(); ++i)
        addLine(i);

    auto* add = new QHBoxLayout;
    add->setSpacing(6);
    auto* plus = new PixelView(Pixels::plus(), 2, this);
    plus->setForeground(Palette::pembyFaint);
    plus->setFixedSize(20, 22);
    add->addWidget(plus);
    add_ = new DetailField(QString(), QStringLiteral("Add a step"), 13, this);
    add_->setObjectName(QStringLiteral("newStep"));
    add->addWidget(add_, 1);
    column->addLayout(add);
    connect(add_, &QLineEdit::returnPressed, this, &StepsEditor::addStep);
}

QList<Step> StepsEditor::kept() const
{
    QList<Step> kept;
    for (const Step& step : steps_) {
        if (!pemby::titleText(step.title).isEmpty())
            kept.append(Step{pemby::oneLineText(step.title), step.done});
    }
    // A step typed and not yet entered counts: the detail may go before Return.
    if (const QString typing = pemby::trimBlanks(add_->text()); !typing.isEmpty())
        kept.append(Step{typing, false});
    return kept;
}

void StepsEditor::addLine(int index)
{
    auto* line = new QHBoxLayout;
    line->setSpacing(6);
    auto* check = new CheckButton(steps_[index].done, this);
    auto* field = new DetailField(steps_[index].title, QString(), 13, this);
    field->setObjectName(QStringLiteral("step"));
    field->setDone(steps_[index].done);
    line->addWidget(check);
    line->addWidget(field, 1);
    lines_->addLayout(line);
    connect(check, &CheckButton::clicked, this, [this, index, check, field] {
        steps_[index].done = !steps_[index].done;
        check->setDone(steps_[index].done);
        field->setDone(steps_[index].done);
        emit saveAsked();
    });
    connect(field, &QLineEdit::textEdited, this, [this, index](const QString& text) { steps_[index].title = text; });
    connect(field, &QLineEdit::returnPressed, this, &StepsEditor::saveAsked);
}

void StepsEditor::addStep()
{
    const QString title = pemby::trimBlanks(add_->text());
    if (title.isEmpty())
        return;
    steps_.append(Step{title, false});
    addLine(int(steps_.size()) - 1);
    add_->clear();
    emit saveAsked();
    // The keys stay here for the next step.
    add_->setFocus(Qt::OtherFocusReason);
}

NoteBlock::NoteBlock(QWidget* parent) : QAbstractButton(parent)
{
    setObjectName(QStringLiteral("note"));
    setFont(sizedFont(font(), noteSize));
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Opens the note. Same editor as Pemby Notes."));
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setAccessibleName(QStringLiteral("Add a note"));
}

void NoteBlock::setNote(const QString& note)
{
    if (note == note_)
        return;
    note_ = note;
    setAccessibleName(note_.isEmpty() ? QStringLiteral("Add a note") : note_);
    updateGeometry();
    update();
}

QStringList NoteBlock::lines(int width) const
{
    const QString text = note_.isEmpty() ? QStringLiteral("Add a note") : note_;
    const int textWidth = std::max(1, width - 2 * notePadX - noteGap - fontMetrics().horizontalAdvance(QStringLiteral("\u2261")));
    QStringList out;
    const QStringList paragraphs = pemby::splitLines(text);
    for (const QString& paragraph : paragraphs) {
        QTextLayout layout(paragraph, font());
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(textWidth);
            out.append(paragraph.mid(line.textStart(), line.textLength()));
        }
        layout.endLayout();
        if (paragraph.isEmpty())
            out.append(QString());
        if (out.size() > maxLines)
            break;
    }
    if (out.size() > maxLines) {
        out = out.mid(0, maxLines);
        out.last() = fontMetrics().elidedText(out.last().trimmed() + QStringLiteral(" \u2026"), Qt::ElideRight, textWidth);
    }
    return out;
}

QStringList NoteBlock::shownLines() const { return lines(width()); }

int NoteBlock::heightForWidth(int width) const
{
    return int(lines(width).size()) * fontMetrics().lineSpacing() + 2 * notePadY;
}

QSize NoteBlock::sizeHint() const
{
    const int w = DetailMetrics::width - 2 * DetailMetrics::padding;
    return QSize(w, heightForWidth(w));
}

void NoteBlock::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath well;
    well.addRoundedRect(QRectF(rect()), noteRadius, noteRadius);
    p.fillPath(well, QColor(Palette::pembyWell));
    if (isDown())
        p.fillPath(well, QColor(Palette::pembyWell));

    const QFontMetrics m = fontMetrics();
    const QString menuMark = QStringLiteral("\u2261");
    const int markWidth = m.horizontalAdvance(menuMark);
    p.setPen(QColor(note_.isEmpty() ? Palette::pembyMuted : Palette::pembyText));
    int y = notePadY;
    for (const QString& line : shownLines()) {
        p.drawText(QRect(notePadX, y, width() - 2 * notePadX - noteGap - markWidth, m.lineSpacing()),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, line);
        y += m.lineSpacing();
    }
    p.setPen(QColor(Palette::pembyFaint));
    p.drawText(QRect(width() - notePadX - markWidth, notePadY, markWidth, m.lineSpacing()),
               Qt::AlignRight | Qt::AlignVCenter, menuMark);
}

LinkButton::LinkButton(const QString& text, int pixelSize, QWidget* parent) : QAbstractButton(parent)
{
    setText(text);
    setFont(sizedFont(font(), pixelSize));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_Hover);
}

QSize LinkButton::sizeHint() const
{
    const QFontMetrics m = fontMetrics();
    return QSize(m.horizontalAdvance(text()) + 2, m.height() + 2);
}

void LinkButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QFont f = font();
    f.setUnderline(underMouse());
    p.setFont(f);
    p.setPen(QColor(isEnabled() ? Palette::pembySnooze : Palette::pembyFaint));
    p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
}

SwitchToggle::SwitchToggle(QWidget* parent) : QAbstractButton(parent)
{
    setCheckable(true);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
}

void SwitchToggle::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal r = track.height() / 2;
    QPainterPath pill;
    pill.addRoundedRect(track, r, r);
    p.fillPath(pill, isChecked() ? QColor(Palette::snooze) : QColor(Palette::pembyRule));
    const qreal knob = track.height() - 3;
    const qreal x = isChecked() ? track.right() - 1.5 - knob : track.left() + 1.5;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(Palette::white));
    p.drawEllipse(QRectF(x, track.top() + 1.5, knob, knob));
}

DetailDivider::DetailDivider(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void DetailDivider::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(Palette::pembyRule));
}

DetailTop makeDetailTop(QWidget* detail, const QString& title, const QList<Step>& steps)
{
    detail->setFixedWidth(DetailMetrics::width);
    DetailTop top;
    top.column = new QVBoxLayout(detail);
    top.column->setContentsMargins(DetailMetrics::padding, DetailMetrics::padding, DetailMetrics::padding,
                                   DetailMetrics::padding);
    top.column->setSpacing(DetailMetrics::spacing);
    top.title = new DetailTitle(title, detail);
    top.steps = new StepsEditor(steps, detail);
    top.note = new NoteBlock(detail);
    for (QWidget* part : {static_cast<QWidget*>(top.title), static_cast<QWidget*>(top.steps),
                          static_cast<QWidget*>(top.note)})
        top.column->addWidget(part);
    return top;
}

QWidget* detailLabel(const QString& text, const PembyColor& color, QWidget* parent, int pixelSize)
{
    auto* label = new RowText(pixelSize, parent);
    label->setText(text);
    label->setColor(color);
    return label;
}

QWidget* detailLine(const QString& label, const QList<QWidget*>& controls, QWidget* parent)
{
    auto* line = new QWidget(parent);
    auto* row = new QHBoxLayout(line);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(detailLabel(label, Palette::pembyMuted, line));
    row->addStretch(1);
    for (QWidget* control : controls) {
        control->setParent(line);
        row->addWidget(control);
    }
    return line;
}
