#pragma once
// The focus panel: a small frameless tool window holding the focus view, and the
// controller through which the application model makes, shows, hides and floats it.
//
// API
//   AppModelServices services;
//   services.focusPanel = std::make_unique<FocusPanelWindow::Controller>(
//       FocusPanelWindow::Options{.actions = [&] { return menus.panelActions(); }});
//   model.focusMode().enterFocusMode();  the model makes the panel on first use and shows it
//
// The panel is exactly as tall as its view; the user may make it 240 to 360 wide by its
// left and right edges and move it by its header. Where it stands and how wide it is
// are kept under "FocusWindow" in the model's settings and come back the next time,
// across launches too; the first time it sits in the top right corner of the primary
// screen, 16 px in. While floating it stays above other windows.
//
// With the main window hidden, the panel carries the shortcuts the user still needs:
// Ctrl+Shift+F leaves focus mode, Ctrl+W only hides the panel (the app stays in focus
// mode; reopening the app shows it again), and the menu actions it is given (undo,
// redo, the clipboard, ...) work while it is the active window.

#include "focuspanelcontroller.h"

#include <QAction>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class AppModel;
class FocusView;

class FocusPanelWindow : public QWidget {
    Q_OBJECT
public:
    struct Options {
        // The menu actions the panel carries, asked for when the panel is made.
        std::function<QList<QAction*>()> actions;
        // Whether windows can be see-through now; the desktop's compositor.
        std::function<bool()> compositing;
        // The most lines before the list scrolls.
        int maxRows = 10;
    };

    FocusPanelWindow(AppModel& model, Options options);
    ~FocusPanelWindow() override;

    FocusView* view() const { return view_; }
    bool isFloating() const { return floating_; }
    // Keeps the panel above other windows, or not. A shown panel changes in place,
    // keeping where it is and the keys it holds.
    void setFloating(bool floating);
    // Glass where a compositor blends the panel, an opaque rounded fill elsewhere.
    void settleLook();
    // Brings the panel to the front without taking the keys from the app in front.
    void present();

    QAction* leaveAction() const { return leave_; }
    QAction* closeAction() const { return close_; }

    static constexpr int defaultWidth = 280;
    static constexpr int minimumWidth = 240;
    static constexpr int maximumWidth = 360;
    static constexpr int screenInset = 16;
    static constexpr int edgeGrip = 6;
    static QString geometryKey() { return QStringLiteral("FocusWindow"); }

    class Controller;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void fitHeight(int height);
    void place();
    void saveGeometryNow();
    void shapeForOpaqueFill();
    // The left or right edge under a point of the window, if any.
    std::optional<Qt::Edge> edgeAt(const QPointF& point) const;

    QPointer<AppModel> model_;
    Options options_;
    FocusView* view_;
    QAction* leave_;
    QAction* close_;
    bool floating_ = false;
    bool restoring_ = false;
    bool translucent_ = true;

    // A resize the window manager would not run: the edge, where the press was, and
    // the geometry it began with.
    struct Resize {
        Qt::Edge edge;
        QPoint from;
        QRect start;
    };
    std::optional<Resize> resizing_;
};

// The application model's way to the panel: none until focus mode is first entered,
// then one panel for the controller's whole life.
class FocusPanelWindow::Controller final : public FocusPanelController {
public:
    explicit Controller(Options options = {});
    ~Controller() override;

    bool hasPanel() const override { return panel_ != nullptr; }
    void showPanel(AppModel& model, bool floats) override;
    void hidePanel() override;
    void applyFloating(bool floats) override;

    FocusPanelWindow* panel() const { return panel_.get(); }

private:
    Options options_;
    std::unique_ptr<FocusPanelWindow> panel_;
};
