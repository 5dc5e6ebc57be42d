#pragma once
// Focus mode, which trades the main window for the small panel of one place, and the
// hand-off between the two windows. A part of the model: its changes are part of the
// model's operations; the windows themselves are reached through what the views give.

#include "appmodeltypes.h"

#include <QObject>
#include <QPointer>

#include <functional>

class AppModel;

class FocusMode : public QObject {
    Q_OBJECT

public:
    // The main window as the model drives it around focus mode, set by the window's view
    // once attached. `window` only tells whether it still exists.
    struct MainWindow {
        QPointer<QObject> window;
        std::function<void()> hide;          // order out, not close
        std::function<void()> bringToFront;  // make key and order front
    };
    void setMainWindow(MainWindow window);
    // Opens the main window when there is none.
    void setOpenMainWindow(std::function<void()> open);

    bool isFocusMode() const;
    const FocusSource& focusSource() const;
    // Clears the selection and the inline edit; tomorrow's week is loaded first.
    void setFocusSource(const FocusSource& source);
    // Trades the main window for the focus panel, and remembers it under "focus.last".
    void enterFocusMode();
    // Trades the focus panel for the main window (opening one when there is none).
    void exitFocusMode();
    // The app was reopened: the panel in focus mode, else the main window, to the
    // front. False when there is neither to show.
    bool reopen();

signals:
    void isFocusModeChanged();
    void focusSourceChanged();

private:
    friend class AppModel;
    explicit FocusMode(AppModel& model) : model_(model) {}
    bool bringMainWindowBack();

    AppModel& model_;
};
