// Focus mode, which trades the main window for the small panel of one place.
#include "focusmode.h"

#include "plansearch.h"
#include "appmodelstate.h"
#include "appsettings.h"
#include "focuspanelcontroller.h"

void FocusMode::setMainWindow(MainWindow window)
{
    model_.d_->mainWindow = std::move(window);
}

void FocusMode::setOpenMainWindow(std::function<void()> open)
{
    model_.d_->openMainWindow = std::move(open);
}

bool FocusMode::isFocusMode() const
{
    return model_.d_->isFocusMode;
}

const FocusSource& FocusMode::focusSource() const
{
    return model_.d_->focusSource;
}

void FocusMode::setFocusSource(const FocusSource& source)
{
    const AppModel::Transition transition(model_);
    if (source.kind() == FocusSource::Kind::Tomorrow)
        AppModel::Steps::loadWeeksOf(model_, {model_.d_->today.adding(1)});
    model_.assign(model_.d_->focusSource, source, *this, &FocusMode::focusSourceChanged);
    model_.selection().clear();
    model_.setEditing(std::nullopt);
}

void FocusMode::enterFocusMode()
{
    const AppModel::Transition transition(model_);
    if (model_.d_->isFocusMode)
        return;
    // A list deleted since it was chosen: today instead of the first list in its place.
    if (model_.d_->focusSource.kind() == FocusSource::Kind::List
        && (model_.d_->focusSource.listIndex() < 0 || model_.d_->focusSource.listIndex() >= model_.d_->planner.lists.size()))
        model_.assign(model_.d_->focusSource, FocusSource::today(), *this, &FocusMode::focusSourceChanged);
    if (model_.d_->focusSource.kind() == FocusSource::Kind::Tomorrow)
        AppModel::Steps::loadWeeksOf(model_, {model_.d_->today.adding(1)});
    model_.assign(model_.d_->isFocusMode, true, *this, &FocusMode::isFocusModeChanged);
    model_.setOpened(std::nullopt);
    model_.setOpenedExternal(std::nullopt);
    model_.setEditing(std::nullopt);
    model_.setZoomed(std::nullopt);
    model_.search().setSearching(false);
    model_.selection().clear();
    model_.d_->settings->writeFocusLast(true);
    if (model_.d_->mainWindow.window && model_.d_->mainWindow.hide)
        model_.d_->mainWindow.hide();
    model_.d_->focus->showPanel(model_, model_.d_->floats);
}

void FocusMode::exitFocusMode()
{
    const AppModel::Transition transition(model_);
    if (!model_.d_->isFocusMode)
        return;
    model_.assign(model_.d_->isFocusMode, false, *this, &FocusMode::isFocusModeChanged);
    model_.setOpened(std::nullopt);
    model_.setOpenedExternal(std::nullopt);
    model_.setEditing(std::nullopt);
    model_.d_->settings->writeFocusLast(false);
    model_.d_->focus->hidePanel();
    bringMainWindowBack();
    if (model_.d_->activateApp)
        model_.d_->activateApp();
}

bool FocusMode::reopen()
{
    if (model_.d_->isFocusMode) {
        model_.d_->focus->showPanel(model_, model_.d_->floats);
        return true;
    }
    return bringMainWindowBack();
}

// The main window to the front, or a new one; false when there is no way to show one.
bool FocusMode::bringMainWindowBack()
{
    if (model_.d_->mainWindow.window && model_.d_->mainWindow.bringToFront) {
        model_.d_->mainWindow.bringToFront();
        return true;
    }
    if (model_.d_->openMainWindow) {
        model_.d_->openMainWindow();
        return true;
    }
    return false;
}
