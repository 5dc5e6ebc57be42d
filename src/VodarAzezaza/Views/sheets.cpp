#include "sheets.h"

#include "appmodel.h"
#include "plansearch.h"
#include "logcategories.h"
#include "notesheet.h"
#include "placesheet.h"
#include "searchview.h"

#include <QDialog>
#include <QVBoxLayout>

namespace Sheets {

namespace {

const char* kindName(SheetKind kind)
{
    switch (kind) {
    case SheetKind::Search:
        return "search";
    case SheetKind::ThingNote:
        return "note";
    case SheetKind::ExternalNote:
        return "other app's note";
    case SheetKind::Place:
        return "place";
    }
    return "";
}

} // namespace

Factories appSheets()
{
    Factories made;
    made[SheetKind::Search] = [](AppModel& model, QWidget* parent) -> SheetContent* {
        return new SearchView(model, parent);
    };
    made[SheetKind::ThingNote] = [](AppModel& model, QWidget* parent) -> SheetContent* {
        return new NoteSheet(model, NoteSheet::Target(model.editingNote().value_or(QUuid())), parent);
    };
    made[SheetKind::ExternalNote] = [](AppModel& model, QWidget* parent) -> SheetContent* {
        return new NoteSheet(model, NoteSheet::Target(model.editingExternalNote().value_or(QString())), parent);
    };
    made[SheetKind::Place] = [](AppModel& model, QWidget* parent) -> SheetContent* {
        return new PlaceSheet(model, model.zoomed().value_or(Place::inList(0)), parent);
    };
    return made;
}

std::optional<Target> requested(const AppModel& model, SheetKind kind)
{
    switch (kind) {
    case SheetKind::Search:
        return model.search().isSearching() ? std::optional<Target>(true) : std::nullopt;
    case SheetKind::ThingNote:
        return model.editingNote() ? std::optional<Target>(*model.editingNote()) : std::nullopt;
    case SheetKind::ExternalNote:
        return model.editingExternalNote() ? std::optional<Target>(*model.editingExternalNote()) : std::nullopt;
    case SheetKind::Place:
        return model.zoomed() ? std::optional<Target>(*model.zoomed()) : std::nullopt;
    }
    return std::nullopt;
}

void dismiss(AppModel& model, SheetKind kind)
{
    switch (kind) {
    case SheetKind::Search:
        model.search().setSearching(false);
        break;
    case SheetKind::ThingNote:
        model.setEditingNote(std::nullopt);
        break;
    case SheetKind::ExternalNote:
        model.setEditingExternalNote(std::nullopt);
        break;
    case SheetKind::Place:
        model.setZoomed(std::nullopt);
        break;
    }
}

} // namespace Sheets

namespace {

// A sheet's dialog asks its content before it closes by itself.
class SheetDialog : public QDialog {
public:
    using QDialog::QDialog;
    void setContent(SheetContent* content) { content_ = content; }
    void reject() override
    {
        if (content_ && !content_->letsGo())
            return;
        QDialog::reject();
    }

private:
    QPointer<SheetContent> content_;
};

} // namespace

SheetPresenter::SheetPresenter(QWidget* window, Sheets::Factories factories)
    : QObject(window)
    , window_(window)
    , factories_(std::move(factories))
{
}

SheetPresenter::~SheetPresenter()
{
    for (Shown& shown : shown_)
        delete shown.dialog.data();
}

void SheetPresenter::setModel(AppModel* model)
{
    for (const auto& c : std::as_const(connections_))
        disconnect(c);
    connections_.clear();
    for (const SheetKind kind : Sheets::allKinds)
        withdraw(kind);
    model_ = model;
    if (!model)
        return;
    const auto watch = [&](void (AppModel::*signal)(), SheetKind kind) {
        connections_.append(connect(model, signal, this, [this, kind] { follow(kind); }));
    };
    connections_.append(connect(&model->search(), &PlanSearch::isSearchingChanged, this, [this] { follow(SheetKind::Search); }));
    watch(&AppModel::editingNoteChanged, SheetKind::ThingNote);
    watch(&AppModel::editingExternalNoteChanged, SheetKind::ExternalNote);
    watch(&AppModel::zoomedChanged, SheetKind::Place);
    for (const SheetKind kind : Sheets::allKinds)
        follow(kind);
}

void SheetPresenter::saveAll()
{
    for (Shown& shown : shown_) {
        if (shown.content)
            shown.content->saveNow();
    }
}

void SheetPresenter::closeAll()
{
    // Each saves as it is dismissed.
    for (Shown& shown : shown_) {
        if (shown.dialog)
            shown.dialog->reject();
    }
}

QDialog* SheetPresenter::sheet(SheetKind kind) const
{
    return shown_[std::size_t(kind)].dialog;
}

void SheetPresenter::follow(SheetKind kind)
{
    if (!model_)
        return;
    const std::optional<Sheets::Target> target = Sheets::requested(*model_, kind);
    Shown& shown = shown_[std::size_t(kind)];
    if (shown.dialog && target && shown.target != *target && shown.content && shown.content->followTarget(*target)) {
        shown.target = *target;
        return;
    }
    if (shown.dialog && (!target || shown.target != *target)) {
        // The property moved on: what the sheet holds is saved before it goes.
        if (shown.content)
            shown.content->saveNow();
        withdraw(kind);
    }
    if (target && !shown.dialog)
        present(kind, *target);
}

void SheetPresenter::present(SheetKind kind, const Sheets::Target& target)
{
    const Sheets::Factory& factory = factories_[kind];
    if (!factory) {
        // A request nothing can show would leave the board without its keys (the key
        // map waits for the sheet to close), so it is answered as a dismissal.
        qCInfo(lcApp) << "no" << Sheets::kindName(kind) << "sheet to show yet";
        Sheets::dismiss(*model_, kind);
        return;
    }
    auto* dialog = new SheetDialog(window_);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    SheetContent* content = factory(*model_, dialog);
    dialog->setContent(content);
    layout->addWidget(content);
    shown_[std::size_t(kind)] = Shown{dialog, content, target};
    connect(dialog, &QDialog::finished, this, [this, kind, dialog] { finished(kind, dialog); });
    dialog->open();
}

void SheetPresenter::withdraw(SheetKind kind)
{
    Shown& shown = shown_[std::size_t(kind)];
    QPointer<QDialog> dialog = shown.dialog;
    shown = Shown{};
    if (!dialog)
        return;
    dialog->disconnect(this);
    dialog->hide();
    dialog->deleteLater();
}

void SheetPresenter::finished(SheetKind kind, QDialog* dialog)
{
    Shown& shown = shown_[std::size_t(kind)];
    if (shown.dialog != dialog)
        return;
    // However it was dismissed, what it holds is written before the model hears of it.
    if (shown.content)
        shown.content->saveNow();
    shown = Shown{};
    dialog->disconnect(this);
    dialog->deleteLater();
    if (model_)
        Sheets::dismiss(*model_, kind);
}
