#include "thingdetail.h"

#include "addlink.h"
#include "appmodel.h"
#include "detailparts.h"
#include "palette.h"
#include "plaintext.h"
#include "pressstyle.h"
#include "rowtext.h"
#include "textutil.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTimeEdit>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// One colour of the highlight line: a rounded square, ringed when chosen; the no-mark
// square is a faint outline until it is chosen.
class Swatch : public QAbstractButton {
public:
    Swatch(std::optional<PembyColor> color, const QString& label, QWidget* parent)
        : QAbstractButton(parent), color_(color)
    {
        setFixedSize(16, 16);
        setFocusPolicy(Qt::NoFocus);
        setCheckable(true);
        setAccessibleName(label);
        setToolTip(label);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        press_.apply(p, rect());
        QPainterPath square;
        square.addRoundedRect(QRectF(rect()), 5, 5);
        if (color_)
            p.fillPath(square, QColor(*color_));
        const auto ring = [&](const QColor& ink, qreal width) {
            // Drawn inside the square, as a stroke of the inset shape.
            QPainterPath inner;
            const qreal in = width / 2;
            inner.addRoundedRect(QRectF(rect()).adjusted(in, in, -in, -in), 5 - in, 5 - in);
            p.strokePath(inner, QPen(ink, width));
        };
        if (isChecked())
            ring(Palette::pembyText, 1.5);
        else if (!color_)
            ring(Palette::pembyFaint, 1);
    }

private:
    std::optional<PembyColor> color_;
    PressStyle press_{this};
};

// The key hint: one line in the small monospaced font. The desktop's key names can be
// longer than the glyphs they stand for, so a hint wider than the detail is drawn
// narrower (the font stretched to fit) rather than wrapped or cut.
class KeyHint : public QLabel {
public:
    KeyHint(const QString& text, QWidget* parent) : QLabel(parent)
    {
        setTextFormat(Qt::PlainText);
        setText(text);
        QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        mono.setPixelSize(10);
        setFont(mono);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }
    // The font as it is drawn at the hint's width now.
    QFont fitted() const
    {
        QFont f = font();
        const int natural = QFontMetrics(f).horizontalAdvance(text());
        if (natural > width() && natural > 0)
            f.setStretch(std::max(50, 100 * width() / natural));
        return f;
    }
    QSize sizeHint() const override { return QSize(fontMetrics().horizontalAdvance(text()), fontMetrics().height()); }
    QSize minimumSizeHint() const override { return QSize(0, fontMetrics().height()); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setFont(fitted());
        p.setPen(QColor(Palette::pembyFaint));
        p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
    }
};

struct RepeatOption {
    const char* text;
    std::optional<RepeatKind> kind;
};
const RepeatOption repeatOptions[] = {
    {"Never", std::nullopt},
    {"Every day", RepeatKind::Daily},
    {"Weekdays", RepeatKind::Weekdays},
    {"Every week", RepeatKind::Weekly},
    {"Every month", RepeatKind::Monthly},
};

std::optional<QUrl> linkURL(const std::optional<QString>& link)
{
    if (!link)
        return std::nullopt;
    const QUrl url(*link, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return std::nullopt;
    return url;
}

} // namespace

ThingDetail::ThingDetail(AppModel& model, const Place& place, const QUuid& id, const QString& title,
                         const QList<Step>& steps, QWidget* parent)
    : QWidget(parent), model_(&model), place_(place), id_(id), seedTitle_(title), seedSteps_(steps)
{
    const DetailTop top = makeDetailTop(this, title, steps);
    QVBoxLayout* column = top.column;
    title_ = top.title;
    steps_ = top.steps;
    note_ = top.note;
    connect(title_, &QLineEdit::returnPressed, this, &ThingDetail::save);
    connect(steps_, &StepsEditor::saveAsked, this, &ThingDetail::save);
    connect(note_, &QAbstractButton::clicked, this, [this] {
        save();
        if (!model_)
            return;
        model_->openNote(id_);
    });

    column->addWidget(dateLine());
    reminderLine_ = reminderLine();
    repeatLine_ = repeatLine();
    column->addWidget(reminderLine_);
    column->addWidget(repeatLine_);
    reminderLine_->setVisible(place_.isDay());
    repeatLine_->setVisible(place_.isDay());
    column->addWidget(highlightLine());

    link_ = new LinkButton(QStringLiteral("Open where it came from"), 12, this);
    link_->setObjectName(QStringLiteral("link"));
    column->addWidget(link_);
    linkTarget_ = PlainText::label(QString(), this);
    linkTarget_->setObjectName(QStringLiteral("linkTarget"));
    QFont targetFont = linkTarget_->font();
    targetFont.setPixelSize(11);
    linkTarget_->setFont(targetFont);
    QPalette faintTarget = linkTarget_->palette();
    faintTarget.setColor(QPalette::WindowText, Palette::pembyFaint);
    linkTarget_->setPalette(faintTarget);
    column->addWidget(linkTarget_);
    connect(link_, &QAbstractButton::clicked, this, [this] {
        if (!model_)
            return;
        if (const auto thing = model_->planner().thing(id_); thing && thing->link)
            model_->openLink(*thing->link);
    });

    column->addWidget(new DetailDivider(this));
    auto* hint = new KeyHint(keyHint(place_.isDay()), this);
    hint->setObjectName(QStringLiteral("hint"));
    column->addWidget(hint);

    connect(&model, &AppModel::plannerChanged, this, &ThingDetail::refresh);
    refresh();
}

ThingDetail::~ThingDetail()
{
    if (model_) {
        disconnect(model_, nullptr, this, nullptr);
        save();
    }
}

QString ThingDetail::keyHint(bool onDay)
{
    const QString erase = QKeySequence(Qt::Key_Backspace).toString(QKeySequence::NativeText);
    if (!onDay)
        return QStringLiteral("esc closes   then ") + erase + QStringLiteral(" delete");
    const QString later = QKeySequence(Qt::SHIFT | Qt::Key_Right).toString(QKeySequence::NativeText);
    return QStringLiteral("esc closes   then ") + later + QStringLiteral(" not this week, ") + erase +
           QStringLiteral(" delete");
}

QWidget* ThingDetail::dateLine()
{
    QList<QWidget*> controls;
    if (const auto day = place_.day()) {
        auto* noDate = new LinkButton(QStringLiteral("No date"), 12, this);
        noDate->setObjectName(QStringLiteral("noDate"));
        connect(noDate, &QAbstractButton::clicked, this, [this] {
            save();
            if (model_)
                model_->sendToEventually({id_});
        });
        date_ = new QDateEdit(day->date(), this);
        date_->setObjectName(QStringLiteral("date"));
        date_->setCalendarPopup(true);
        date_->setFont(sizedFont(font(), 13));
        // A date applies once it is finished (Return, leaving the field, a day picked in
        // the calendar), never halfway through typing one.
        connect(date_, &QAbstractSpinBox::editingFinished, this, &ThingDetail::pickDate);
        connect(date_->calendarWidget(), &QCalendarWidget::clicked, this,
                [this] { QTimer::singleShot(0, this, &ThingDetail::pickDate); });
        controls = {noDate, date_};
    } else {
        auto* none = new QPushButton(QStringLiteral("None"), this);
        none->setObjectName(QStringLiteral("dateMenu"));
        none->setFont(sizedFont(font(), 13));
        auto* menu = new QMenu(none);
        const auto to = [this](int days) {
            return [this, days] {
                if (model_)
                    moveTo(model_->today().adding(days));
            };
        };
        menu->addAction(QStringLiteral("Today"), this, to(0));
        menu->addAction(QStringLiteral("Tomorrow"), this, to(1));
        menu->addAction(QStringLiteral("In a week"), this, to(7));
        none->setMenu(menu);
        controls = {none};
    }
    return detailLine(QStringLiteral("Date"), controls, this);
}

QWidget* ThingDetail::reminderLine()
{
    time_ = new QTimeEdit(this);
    time_->setObjectName(QStringLiteral("remindTime"));
    time_->setDisplayFormat(QStringLiteral("HH:mm"));
    time_->setFont(sizedFont(font(), 13));
    connect(time_, &QAbstractSpinBox::editingFinished, this, &ThingDetail::pickTime);
    remind_ = new SwitchToggle(this);
    remind_->setObjectName(QStringLiteral("remind"));
    remind_->setAccessibleName(QStringLiteral("Remind me"));
    connect(remind_, &QAbstractButton::clicked, this, [this](bool on) {
        save();
        if (model_)
            model_->setReminder(id_, on ? std::optional(TimeOfDay{9, 0}) : std::nullopt);
    });
    return detailLine(QStringLiteral("Remind me"), {time_, remind_}, this);
}

QWidget* ThingDetail::repeatLine()
{
    repeats_ = new QComboBox(this);
    repeats_->setObjectName(QStringLiteral("repeats"));
    repeats_->setFont(sizedFont(font(), 13));
    for (const RepeatOption& option : repeatOptions)
        repeats_->addItem(QString::fromUtf8(option.text));
    connect(repeats_, &QComboBox::activated, this, [this](int index) {
        save();
        if (model_ && index >= 0 && index < int(std::size(repeatOptions)))
            model_->setRepeat(id_, repeatOptions[index].kind);
    });
    return detailLine(QStringLiteral("Repeats"), {repeats_}, this);
}

QWidget* ThingDetail::highlightLine()
{
    auto* swatches = new QWidget(this);
    auto* row = new QHBoxLayout(swatches);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    const auto add = [&](std::optional<Mark> mark, std::optional<PembyColor> color, const QString& label) {
        auto* swatch = new Swatch(color, label, swatches);
        swatch->setObjectName(QStringLiteral("swatch"));
        row->addWidget(swatch);
        swatches_.append(swatch);
        // Marks need no save first: they never touch the title or the steps.
        connect(swatch, &QAbstractButton::clicked, this, [this, mark] {
            if (model_)
                model_->setMark(id_, mark);
            refresh();
        });
    };
    add(Mark::Lavender, Palette::snooze, markName(Mark::Lavender));
    add(Mark::Green, Palette::ok, markName(Mark::Green));
    add(Mark::Red, Palette::oops, markName(Mark::Red));
    add(std::nullopt, std::nullopt, QStringLiteral("None"));
    return detailLine(QStringLiteral("Highlight"), {swatches}, this);
}

void ThingDetail::refresh()
{
    if (!model_)
        return;
    const auto thing = model_->planner().thing(id_);
    note_->setNote(thing ? thing->note : QString());

    const bool reminds = thing && thing->remind;
    remind_->setChecked(reminds);
    time_->setVisible(reminds);
    // What is being typed into a field stays until the field is finished.
    if (reminds && !time_->hasFocus())
        time_->setTime(QTime(thing->remind->hour, thing->remind->minute));
    if (date_ && !date_->hasFocus())
        date_->setDate(place_.day()->date());

    const auto kind = thing ? model_->planner().repeatKind(*thing) : std::nullopt;
    for (int i = 0; i < int(std::size(repeatOptions)); ++i) {
        if (repeatOptions[i].kind == kind)
            repeats_->setCurrentIndex(i);
    }

    // The swatch of no mark is the last one.
    const Mark marks[] = {Mark::Lavender, Mark::Green, Mark::Red};
    const bool marked = thing && thing->mark.has_value();
    const Mark current = marked ? *thing->mark : marks[0];
    for (int i = 0; i < swatches_.size(); ++i) {
        swatches_[i]->setChecked(i < int(std::size(marks)) ? marked && current == marks[i] : !marked);
        swatches_[i]->update();
    }

    link_->setVisible(thing && linkURL(thing->link));
    const std::optional<QString> target = thing && thing->link ? linkDestination(*thing->link) : std::nullopt;
    if (target && linkTarget_->text() != *target)
        linkTarget_->setText(*target);
    linkTarget_->setVisible(link_->isVisibleTo(this) && target);
}

void ThingDetail::pickDate()
{
    if (!date_ || !place_.day())
        return;
    const Day picked = Day::fromDate(date_->date());
    if (picked == *place_.day())
        return;
    moveTo(picked);
}

void ThingDetail::moveTo(Day day)
{
    save();
    if (model_)
        model_->setDay(id_, day);
}

void ThingDetail::pickTime()
{
    if (!model_)
        return;
    const auto thing = model_->planner().thing(id_);
    if (!thing || !thing->remind)
        return;
    const QTime t = time_->time();
    const TimeOfDay picked = TimeOfDay::clamped(t.isValid() ? t.hour() : 9, t.isValid() ? t.minute() : 0);
    if (picked != *thing->remind)
        model_->setReminder(id_, picked);
}

void ThingDetail::save()
{
    if (!model_)
        return;
    const auto thing = model_->planner().thing(id_);
    if (!thing)
        return;
    const QString typed = pemby::titleText(title_->text());
    const QList<Step> kept = steps_->kept();
    // Only what was changed here: a blank title was not meant as a new one.
    const bool titleChanged = !typed.isEmpty() && typed != seedTitle_;
    const bool stepsChanged = kept != seedSteps_;
    if (!titleChanged && !stepsChanged)
        return;
    if (titleChanged)
        seedTitle_ = typed;
    if (stepsChanged)
        seedSteps_ = kept;
    model_->update(id_, [&](Thing& t) {
        if (titleChanged)
            t.title = typed;
        if (stepsChanged)
            t.steps = kept;
    });
}

void ThingDetail::follow(const QUuid& id, const Place& place)
{
    id_ = id;
    place_ = place;
    refresh();
}

void ThingDetail::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    save();
}
