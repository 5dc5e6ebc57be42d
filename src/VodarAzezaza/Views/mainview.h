#pragma once
// The planner's main window: the toolbar over the board area, the key hand-over from
// the board to the model's key map, the rules that give the board the keys back, the
// four sheets, a refresh when the app becomes active and once a minute, the hook-up of
// the window to the model, and the return to focus mode at start-up.
//
// API
//   MainView window(MainView::Options{.renderRun = launch.renderPath.has_value()});
//   window.setModel(model);                  and again after the model is replaced
//   window.releaseModel(old);                before: saves and closes what is open on it
//   window.show();
//
// The board area holds the keys by default. Every key press that reaches it (down or
// repeat, never a release) goes to the model's key map; a press the map takes is also
// claimed against the menus' shortcuts, so the map sees it first.

#include "sheets.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

class AppModel;
class PlannerContent;
class Toolbar;

class MainView : public QMainWindow {
    Q_OBJECT
public:
    struct Options {
        // A render run never goes back to focus mode.
        bool renderRun = false;
        // The heartbeat's period.
        int refreshMs = 60'000;
        // How the start-up return to focus mode waits for the window to be on screen.
        int focusChecks = 20;
        int focusCheckMs = 25;
        // What makes the four sheets' contents.
        Sheets::Factories sheets = Sheets::appSheets();
    };

    explicit MainView(Options options, QWidget* parent = nullptr);
    explicit MainView(QWidget* parent = nullptr) : MainView(Options{}, parent) {}
    ~MainView() override;

    AppModel* model() const;
    void setModel(AppModel* model);
    // The model is about to be replaced: what its sheets, popovers, inline edit and
    // notes pane hold is saved against it, and they close.
    void releaseModel(AppModel* old);
    // Saves what the open sheets hold: the app is about to quit.
    void saveOpenWork();

    PlannerContent* content() const;
    Toolbar* toolbar() const;
    SheetPresenter& sheets() const { return *sheets_; }
    // Whether the start-up return to focus mode has been decided.
    bool restoredMode() const { return restoredMode_; }

    static constexpr int defaultWidth = 1100;
    static constexpr int defaultHeight = 700;
    static constexpr int minimumContentWidth = 860;
    static constexpr int minimumContentHeight = 560;
    // Where the window's place and size are kept in the model's settings.
    static QString geometryKey() { return QStringLiteral("window.main"); }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void giveBoardTheKeys();
    void watchFocusRules();
    void refreshNow();
    void restoreFocusMode();
    void checkWindowThenFocus(int checksLeft);
    void saveGeometryNow();
    void restoreGeometryOnce();

    Options options_;
    QPointer<AppModel> model_;
    QPointer<Toolbar> toolbar_;
    QPointer<PlannerContent> content_;
    SheetPresenter* sheets_;
    QTimer heartbeat_;
    QList<QMetaObject::Connection> modelConnections_;
    bool restoredMode_ = false;
    bool geometryRestored_ = false;
    bool everShown_ = false;
};
