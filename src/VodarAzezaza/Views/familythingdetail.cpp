#include "familythingdetail.h"

#include "appmodel.h"
#include "detailparts.h"
#include "otherapps.h"
#include "palette.h"
#include "rowtext.h"
#include "textutil.h"

#include <QCalendarWidget>
#include <QDateEdit>
#include <QTimer>
#include <QVBoxLayout>

ExternalDetail::ExternalDetail(AppModel& model, const QString& id, const QString& title,
                               const QList<SharedStep>& steps, QWidget* parent)
    : QWidget(parent), model_(&model), id_(id), seedTitle_(title), seedSteps_(steps)
{
    const DetailTop top = makeDetailTop(this, title, pemby::plannerSteps(steps));
    QVBoxLayout* column = top.column;
    title_ = top.title;
    steps_ = top.steps;
    note_ = top.note;
    connect(title_, &QLineEdit::returnPressed, this, &ExternalDetail::save);
    connect(steps_, &StepsEditor::saveAsked, this, &ExternalDetail::save);
    connect(note_, &QAbstractButton::clicked, this, [this] {
        save();
        if (!model_)
            return;
        // The note sheet belongs to the main window, as for the planner's own things.
        model_->openExternalNote(id_);
    });

    date_ = new QDateEdit(this);
    date_->setObjectName(QStringLiteral("date"));
    date_->setCalendarPopup(true);
    date_->setFont(sizedFont(date_->font(), 13));
    connect(date_, &QAbstractSpinBox::editingFinished, this, &ExternalDetail::pickDate);
    connect(date_->calendarWidget(), &QCalendarWidget::clicked, this,
            [this] { QTimer::singleShot(0, this, &ExternalDetail::pickDate); });
    column->addWidget(detailLine(QStringLiteral("Date"), {date_}, this));

    column->addWidget(new DetailDivider(this));
    footer_ = new RowText(11, this);
    footer_->setColor(Palette::pembyFaint);
    footer_->setObjectName(QStringLiteral("footer"));
    column->addWidget(footer_);

    // Once per operation, whatever of the thing or the day it rests on changed.
    connect(&model.transitions(), &ModelTransitions::ended, this, [this](const ModelChanges& changes) {
        if (changes.containsAny({&OtherApps::familyThingsChanged, &OtherApps::tickedExternalChanged,
                                 &AppModel::todayChanged}))
            refresh();
    });
    refresh();
}

ExternalDetail::~ExternalDetail()
{
    if (model_) {
        disconnect(model_, nullptr, this, nullptr);
        disconnect(&model_->transitions(), nullptr, this, nullptr);
        save();
    }
}

QString ExternalDetail::appName(const std::optional<SharedThing>& thing)
{
    if (!thing)
        return QStringLiteral("another app");
    if (thing->sourceApp == u"todo")
        return QStringLiteral("Pemby Todo");
    if (thing->sourceApp == u"notes")
        return QStringLiteral("Pemby Notes");
    return thing->sourceApp;
}

Day ExternalDetail::shownDay() const
{
    const auto thing = model_ ? model_->otherApps().externalThing(id_) : std::nullopt;
    if (thing && thing->day) {
        if (const auto day = Day::fromIso(*thing->day))
            return *day;
    }
    return model_ ? model_->today() : Day::today();
}

void ExternalDetail::refresh()
{
    if (!model_)
        return;
    const auto thing = model_->otherApps().externalThing(id_);
    note_->setNote(thing ? thing->note : QString());
    if (!date_->hasFocus())
        date_->setDate(shownDay().date());
    footer_->setText(QStringLiteral("From ") + appName(thing) + QStringLiteral(". Changes show there too."));
}

void ExternalDetail::pickDate()
{
    const Day picked = Day::fromDate(date_->date());
    if (picked == shownDay())
        return;
    save();
    if (model_)
        model_->otherApps().moveExternal(id_, picked);
}

void ExternalDetail::save()
{
    if (!model_ || !model_->otherApps().externalThing(id_))
        return;
    const QList<SharedStep> kept = pemby::sharedSteps(steps_->kept());
    if (kept != seedSteps_) {
        seedSteps_ = kept;
        model_->otherApps().setExternalSteps(id_, kept);
    }
    // The record as the store has it now, after the steps' write and its read-back.
    const auto thing = model_ ? model_->otherApps().externalThing(id_) : std::nullopt;
    if (!thing)
        return;
    const QString typed = pemby::trimWhitespace(title_->text());
    if (typed.isEmpty() || typed == seedTitle_)
        return;
    seedTitle_ = typed;
    model_->otherApps().renameExternal(*thing, typed);
}

void ExternalDetail::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    save();
}
