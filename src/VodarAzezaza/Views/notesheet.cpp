#include "notesheet.h"

#include "appmodel.h"
#include "noteeditor.h"
#include "otherapps.h"
#include "palette.h"
#include "plaintext.h"
#include "ruleline.h"
#include "thingnotes.h"
#include "titletext.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The thing's title on one line, cut short with an ellipsis when it is too long; drawn
// as the characters it holds.
class SheetTitle : public QWidget {
public:
    explicit SheetTitle(QWidget* parent) : QWidget(parent)
    {
        QFont f = font();
        f.setPixelSize(13);
        f.setWeight(QFont::DemiBold);
        setFont(f);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }
    const QString& text() const { return text_; }
    void setText(const QString& text)
    {
        if (text == text_)
            return;
        text_ = text;
        setToolTip(PlainText::toolTip(TitleText::shown(text)));
        update();
    }
    QSize sizeHint() const override
    {
        return {fontMetrics().horizontalAdvance(TitleText::shown(text_)), fontMetrics().height()};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setPen(QColor(Palette::pembyText));
        TitleText::draw(p, rect(), TitleText::fit(text_, fontMetrics(), width()));
    }

private:
    QString text_;
};

} // namespace

NoteSheet::NoteSheet(AppModel& model, Target target, QWidget* parent, std::chrono::milliseconds delay)
    : SheetContent(parent), model_(model), alive_(&model), target_(std::move(target)), bridge_(this)
{
    setFixedSize(sheetSize);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(16, 10, 16, 10);
    header->setSpacing(10);
    title_ = new SheetTitle(this);
    header->addWidget(title_, 1);
    format_ = new FormatButton(bridge_, this);
    header->addWidget(format_);
    done_ = new QPushButton(QStringLiteral("Done"), this);
    done_->setDefault(true);
    done_->setAutoDefault(false);
    done_->setFocusPolicy(Qt::NoFocus);
    header->addWidget(done_);
    connect(done_, &QPushButton::clicked, this, &NoteSheet::finish);

    host_ = new NoteEditorHost(bridge_, delay, [this] { save(); }, this);
    host_->setMinimumSize(560, 420);
    // An edit is due at once; its save waits for the pause.
    host_->setOnEdit([this] { dirty_ = true; });

    // Shown only while the text could not be written: why, and the way to let it go.
    problemLine_ = new QWidget(this);
    auto* problemRow = new QHBoxLayout(problemLine_);
    problemRow->setContentsMargins(16, 0, 16, 8);
    problemRow->setSpacing(10);
    problem_ = new QLabel(problemLine_);
    problem_->setTextFormat(Qt::PlainText);
    problem_->setWordWrap(true);
    QFont small = problem_->font();
    small.setPixelSize(12);
    problem_->setFont(small);
    QPalette warning = problem_->palette();
    warning.setColor(QPalette::WindowText, QColor(Palette::oops));
    problem_->setPalette(warning);
    problemRow->addWidget(problem_, 1);
    discard_ = new QPushButton(QStringLiteral("Discard"), problemLine_);
    discard_->setAutoDefault(false);
    discard_->setFocusPolicy(Qt::NoFocus);
    discard_->setToolTip(QStringLiteral("Close without saving what was typed"));
    problemRow->addWidget(discard_);
    connect(discard_, &QPushButton::clicked, this, &NoteSheet::discard);
    problemLine_->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(header);
    layout->addWidget(problemLine_);
    layout->addWidget(new RuleLine(Qt::Horizontal, this));
    layout->addWidget(host_, 1);

    // The title follows the thing: a rename elsewhere, a re-read, a sibling's edit.
    connect(&model_.transitions(), &ModelTransitions::ended, this, [this](const ModelChanges& changes) {
        if (changes.containsAny({&AppModel::plannerChanged, &OtherApps::familyThingsChanged}))
            refreshTitle();
    });
    refreshTitle();
}

NoteSheet::~NoteSheet()
{
    // A sheet taken away without being hidden first still keeps what was typed.
    save();
}

QString NoteSheet::title() const
{
    if (const auto* id = std::get_if<QUuid>(&target_)) {
        const auto thing = model_.planner().thing(*id);
        return thing ? thing->title : QString();
    }
    const auto thing = model_.otherApps().externalThing(std::get<QString>(target_));
    return thing ? thing->title : QString();
}

void NoteSheet::refreshTitle()
{
    static_cast<SheetTitle*>(title_)->setText(title());
}

QString NoteSheet::shownTitle() const
{
    return static_cast<SheetTitle*>(title_)->text();
}

bool NoteSheet::followTarget(const Sheets::Target& target)
{
    if (const QUuid* id = std::get_if<QUuid>(&target))
        return retarget(Target(*id));
    if (const QString* id = std::get_if<QString>(&target))
        return retarget(Target(*id));
    return false;
}

bool NoteSheet::retarget(const Target& target)
{
    const auto* from = std::get_if<QUuid>(&target_);
    const auto* to = std::get_if<QUuid>(&target);
    if (!from || !to || model_.planner().thing(*from))
        return false;
    target_ = target;
    refreshTitle();
    return true;
}

void NoteSheet::load()
{
    const ThingNotes::NoteContent content = std::holds_alternative<QUuid>(target_)
        ? model_.thingNotes().noteContent(std::get<QUuid>(target_))
        : model_.thingNotes().externalNoteContent(std::get<QString>(target_));
    bridge_.editor().load(content.rtf, content.plain);
    loaded_ = true;
    dirty_ = false;
    // The keys go to the text once the sheet is on screen.
    QTimer::singleShot(0, this, [this] { bridge_.editor().focus(); });
}

void NoteSheet::save()
{
    host_->cancelPending();
    if (!loaded_ || !dirty_ || !alive_)
        return;
    const NoteEditor& editor = bridge_.editor();
    // An empty text has no rich text to keep; the model then removes the note.
    const std::optional<QByteArray> rtf = editor.isEmpty() ? std::nullopt : editor.rtf();
    const QString plain = editor.plainText();
    const bool saved = std::holds_alternative<QUuid>(target_)
        ? model_.thingNotes().saveNote(std::get<QUuid>(target_), rtf, plain)
        : model_.otherApps().saveExternalNote(std::get<QString>(target_), rtf, plain);
    // A failed write leaves the text due: the next pause, Done or hide tries again.
    if (saved) {
        dirty_ = false;
        problemLine_->hide();
    } else if (problemLine_->isVisible()) {
        showProblem();
    }
}

QString NoteSheet::problem() const
{
    return problemLine_->isVisible() ? problem_->text() : QString();
}

void NoteSheet::showProblem()
{
    const QString why = alive_ ? model_.saveError().value_or(QString()) : QString();
    problem_->setText(why.isEmpty() ? QStringLiteral("Couldn't save the note.") : why);
    problemLine_->show();
}

bool NoteSheet::letsGo()
{
    save();
    if (!dirty_ || !alive_)
        return true;
    showProblem();
    return false;
}

void NoteSheet::finish()
{
    if (!letsGo())
        return;
    dismiss();
}

void NoteSheet::discard()
{
    host_->cancelPending();
    dirty_ = false;
    problemLine_->hide();
    dismiss();
}

void NoteSheet::dismiss()
{
    if (!alive_)
        return;
    model_.setEditingNote(std::nullopt);
    model_.setEditingExternalNote(std::nullopt);
}

void NoteSheet::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Loaded once per sheet: a sheet shown again keeps what it holds.
    if (!loaded_)
        load();
}

void NoteSheet::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    save();
}

void NoteSheet::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        finish();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void NoteSheet::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), QColor(Palette::pembyBackground));
}
