#include "listsheader.h"

#include "appmodel.h"
#include "confirmdialog.h"
#include "glyphbutton.h"
#include "motion.h"
#include "palette.h"
#include "pembyfont.h"
#include "pixelgrid.h"
#include "plaintext.h"
#include "plannerlists.h"
#include "plannersettings.h"
#include "pressstyle.h"
#include "shortcuttext.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QMenu>
#include <QPainter>
#include <QPushButton>

namespace {

constexpr int chevronWidth = 12;
constexpr int innerSpacing = 6;
constexpr int titleSize = 20;
constexpr int countSize = 12;
const QSize glyphFrame(22, 22);

QString title() { return QStringLiteral("no date yet."); }

QFont countFont(QFont base)
{
    base.setPixelSize(countSize);
    return base;
}

} // namespace

// Chevron, "no date yet." and, while the lists are hidden, what waits in them; all faint.
class ListsHeader::Toggle : public QAbstractButton {
public:
    explicit Toggle(QWidget* parent) : QAbstractButton(parent)
    {
        setFocusPolicy(Qt::NoFocus);
    }

    void setState(bool open, const QString& count)
    {
        if (open == open_ && count == count_)
            return;
        open_ = open;
        count_ = count;
        updateGeometry();
        update();
    }
    bool isOpen() const { return open_; }

    QSize sizeHint() const override
    {
        int width = chevronWidth + innerSpacing + QFontMetrics(PembyFont::font(titleSize)).horizontalAdvance(title());
        if (!count_.isEmpty())
            width += innerSpacing + QFontMetrics(countFont(font())).horizontalAdvance(count_);
        return QSize(width, ListsHeader::height);
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        press_.apply(p, rect());
        p.setRenderHint(QPainter::Antialiasing);
        const QColor faint = Palette::pembyFaint;

        // A semibold chevron, pointing down while the lists are open.
        p.save();
        p.translate(chevronWidth / 2.0, height() / 2.0);
        if (open_)
            p.rotate(90);
        p.setPen(QPen(faint, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QPointF points[] = {{-1.75, -3.5}, {1.75, 0}, {-1.75, 3.5}};
        p.drawPolyline(points, 3);
        p.restore();

        p.setPen(faint);
        int x = chevronWidth + innerSpacing;
        const QFont titleFont = PembyFont::font(titleSize);
        p.setFont(titleFont);
        const int titleWidth = QFontMetrics(titleFont).horizontalAdvance(title());
        PembyFont::drawText(p, QRect(x, 0, titleWidth, height()), Qt::AlignLeft | Qt::AlignVCenter, title());
        if (!count_.isEmpty()) {
            x += titleWidth + innerSpacing;
            p.setFont(countFont(font()));
            p.drawText(QRect(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                       count_);
        }
    }

private:
    bool open_ = false;
    QString count_;
    PressStyle press_{this};
};

ListsHeader::ListsHeader(AppModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    setFixedHeight(height);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 0, 0, 0);
    layout->setSpacing(8);

    toggle_ = new Toggle(this);
    connect(toggle_, &QAbstractButton::clicked, this,
            [this] { Motion::pointer([this] { model_.settings().setShowLists(!model_.settings().showLists()); }); });
    layout->addWidget(toggle_);

    plus_ = new GlyphButton(Pixels::plus(), Palette::pembyFaint, glyphFrame, this);
    plus_->setToolTip(PlainText::toolTip(QStringLiteral("Another list. Up to ") + QString::number(Planner::listCap)
                                         + QStringLiteral(".  ")
                                         + QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N).toString(QKeySequence::NativeText)));
    plus_->setAccessibleName(QStringLiteral("New list"));
    connect(plus_, &QAbstractButton::clicked, this, [this] { Motion::pointer([this] { model_.lists().addList(); }); });
    layout->addWidget(plus_);

    options_ = new GlyphButton(Pixels::dots(), Palette::pembyFaint, glyphFrame, this);
    options_->setToolTip(QStringLiteral("Lists"));
    options_->setAccessibleName(QStringLiteral("List options"));
    menu_ = new QMenu(this);
    QAction* newList = menu_->addAction(QStringLiteral("New List"));
    connect(newList, &QAction::triggered, this, [this] { Motion::pointer([this] { model_.lists().addList(); }); });
    QAction* hide = menu_->addAction(QStringLiteral("Hide Lists"));
    connect(hide, &QAction::triggered, this, [this] { Motion::pointer([this] { model_.settings().setShowLists(false); }); });
    menu_->addSeparator();
    QAction* deleteOthers = menu_->addAction(QStringLiteral("Delete the Other Lists…"));
    connect(deleteOthers, &QAction::triggered, this, [this] { model_.lists().requestDeleteAllLists(); });
    connect(menu_, &QMenu::aboutToShow, this, &ListsHeader::prepareMenu);
    connect(options_, &QAbstractButton::clicked, this, [this] {
        menu_->popup(options_->mapToGlobal(QPoint(0, options_->height())));
    });
    layout->addWidget(options_);
    layout->addStretch(1);

    // Once per operation: the names and the buttons, then the question, which names a
    // list as the plan has it now.
    connect(&model_.transitions(), &ModelTransitions::ended, this, [this](const ModelChanges& changes) {
        if (changes.containsAny({&AppModel::plannerChanged, &PlannerSettings::showListsChanged}))
            refresh();
        if (changes.containsAny({&PlannerLists::listToDeleteChanged, &PlannerLists::deletingAllListsChanged}))
            syncDialog();
    });
    refresh();
    syncDialog();
}

ListsHeader::~ListsHeader()
{
    // The question goes with the header; its answer must not reach the model later.
    if (dialog_) {
        dialog_->disconnect(this);
        delete dialog_;
    }
}

QAbstractButton* ListsHeader::toggle() const { return toggle_; }

QString ListsHeader::firstListName() const
{
    const auto& lists = model_.planner().lists;
    return lists.isEmpty() ? QStringLiteral("eventually") : lists.first().name;
}

QString ListsHeader::deleteTitle() const
{
    const auto& lists = model_.planner().lists;
    const std::optional<int> index = model_.lists().listToDelete();
    if (!index || *index < 0 || *index >= lists.size())
        return {};
    const EventuallyList& list = lists[*index];
    const qsizetype n = list.things.size();
    const QString things = n == 1 ? QStringLiteral("1 thing") : QString::number(n) + QStringLiteral(" things");
    return QStringLiteral("Delete ") + list.name + QStringLiteral("? It has ") + things + u'.';
}

QString ListsHeader::countLine() const
{
    if (model_.settings().showLists())
        return {};
    const auto& lists = model_.planner().lists;
    qsizetype waiting = 0;
    for (const EventuallyList& list : lists)
        waiting += std::count_if(list.things.cbegin(), list.things.cend(), [](const Thing& t) { return !t.done; });
    if (lists.size() == 1)
        return QString::number(waiting) + QStringLiteral(" waiting");
    return QString::number(lists.size()) + QStringLiteral(" lists · ") + QString::number(waiting)
        + QStringLiteral(" waiting");
}

void ListsHeader::refresh()
{
    const bool shown = model_.settings().showLists();
    toggle_->setState(shown, countLine());
    const QString help = shown ? QStringLiteral("Hide the lists") : QStringLiteral("Show the lists");
    toggle_->setToolTip(help + QStringLiteral("  L"));
    toggle_->setAccessibleName(help + QStringLiteral(" with no date"));
    plus_->setVisible(shown && model_.planner().lists.size() < Planner::listCap);
    options_->setVisible(shown);
    updateDialogTexts();
}

void ListsHeader::prepareMenu()
{
    const qsizetype lists = model_.planner().lists.size();
    const QList<QAction*> actions = menu_->actions();
    actions[0]->setEnabled(lists < Planner::listCap);
    actions[3]->setEnabled(lists != 1);
}

void ListsHeader::syncDialog()
{
    const Asking wanted = model_.lists().listToDelete() ? Asking::OneList
        : model_.lists().deletingAllLists()             ? Asking::AllLists
                                                : Asking::None;
    if (wanted == asking_) {
        updateDialogTexts();
        return;
    }
    if (dialog_) {
        // The model stopped asking (or asks something else): this question has no answer.
        dialog_->disconnect(this);
        dialog_->close();
        dialog_->deleteLater();
        dialog_ = nullptr;
    }
    asking_ = Asking::None;
    if (wanted == Asking::None)
        return;
    const bool one = wanted == Asking::OneList;
    if (one) {
        const int index = *model_.lists().listToDelete();
        if (index < 0 || index >= model_.planner().lists.size()) {
            model_.lists().setListToDelete(std::nullopt);
            return;
        }
        askedName_ = model_.planner().lists[index].name;
    }

    asking_ = wanted;
    auto* asked = new ConfirmDialog(QString(), QString(), this);
    dialog_ = asked;
    keep_ = asked->addChoice(QString(), ConfirmDialog::Role::Plain);
    remove_ = asked->addChoice(one ? QStringLiteral("Delete Them Too") : QStringLiteral("Delete Their Things Too"),
                               ConfirmDialog::Role::Destructive);
    asked->addChoice(QStringLiteral("Cancel"), ConfirmDialog::Role::Cancel);
    updateDialogTexts();
    connect(asked, &QDialog::finished, this, [this, asked, wanted] {
        const QAbstractButton* chosen = asked->chosen();
        const bool keep = chosen && chosen == keep_;
        const bool remove = chosen && chosen == remove_;
        asked->deleteLater();
        if (dialog_ == asked)
            dialog_ = nullptr;
        answer(wanted, keep, remove);
    });
    asked->open();
}

void ListsHeader::answer(Asking asked, bool keep, bool remove)
{
    asking_ = Asking::None;
    if (asked == Asking::OneList) {
        const std::optional<int> index = model_.lists().listToDelete();
        if (!index)
            return;
        // Deleting clears the question itself, after checking that the list at the index
        // is still the one asked about; clearing it first would skip that check.
        if (keep || remove)
            Motion::pointer([&] { model_.lists().deleteList(*index, keep); });
        else
            model_.lists().setListToDelete(std::nullopt);
        return;
    }
    if (keep || remove)
        Motion::pointer([&] { model_.lists().deleteAllLists(keep); });
    else
        model_.lists().setDeletingAllLists(false);
}

void ListsHeader::updateDialogTexts()
{
    if (!dialog_)
        return;
    const QString first = firstListName();
    const QString undo = pemby::undoShortcutText() + QStringLiteral(" brings it all back.");
    if (asking_ == Asking::OneList) {
        const auto& lists = model_.planner().lists;
        const int index = model_.lists().listToDelete().value_or(-1);
        if (index < 0 || index >= lists.size() || lists[index].name != askedName_) {
            // Another list stands there now: the user was never asked about it.
            model_.lists().setListToDelete(std::nullopt);
            return;
        }
        dialog_->setTexts(deleteTitle(), undo);
        dialog_->setChoiceText(keep_, QStringLiteral("Move Them to ") + first);
    } else {
        dialog_->setTexts(QStringLiteral("Delete every list but ") + first + u'?',
                          first + QStringLiteral(" always stays. ") + undo);
        dialog_->setChoiceText(keep_, QStringLiteral("Move Their Things to ") + first);
    }
}
