#include "plannerapp.h"

#include "appmodel.h"
#include "focusmode.h"
#include "focuspanel.h"
#include "menucommands.h"
#include "openwork.h"
#include "quitsignals.h"
#include "settingsform.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileOpenEvent>
#include <QScreen>
#include <QSessionManager>
#include <QTimer>

#include <algorithm>

PlannerApp::PlannerApp(std::unique_ptr<AppModel> model, Options options, QObject* parent)
    : QObject(parent)
    , options_(std::move(options))
    , main_(std::make_unique<MainView>(options_.window))
    , settings_(std::make_unique<SettingsForm>([this] { chooseFolder(); }))
{
    start(std::move(model));
}

PlannerApp::PlannerApp(Options options, QObject* parent)
    : QObject(parent)
    , options_(std::move(options))
    , main_(std::make_unique<MainView>(options_.window))
    , settings_(std::make_unique<SettingsForm>([this] { chooseFolder(); }))
{
    start(options_.launch.makeModel(desktopHost()));
}

Launch::Host PlannerApp::desktopHost()
{
    Launch::Host host = options_.host();
    host.services = [this, base = host.services] {
        AppModelServices services = base ? base() : AppModelServices{};
        if (!services.focusPanel) {
            FocusPanelWindow::Options panel;
            // Asked for when the panel is first made, so the menus of that moment.
            panel.actions = [this] {
                QList<QAction*> actions;
                using C = MenuCommands::Command;
                // Focus mode's own switch is the panel's: its shortcut would clash.
                for (const C command : {C::Undo, C::Redo, C::Cut, C::Copy, C::Paste, C::SelectAll, C::FloatOnTop,
                                        C::Settings, C::Quit}) {
                    if (QAction* action = menus_ ? menus_->action(command) : nullptr)
                        actions.append(action);
                }
                return actions;
            };
            services.focusPanel = std::make_unique<FocusPanelWindow::Controller>(std::move(panel));
        }
        if (!services.activateApp)
            services.activateApp = [this] { showMainWindow(); };
        return services;
    };
    return host;
}

void PlannerApp::start(std::unique_ptr<AppModel> model)
{
    if (!options_.pickFolder)
        options_.pickFolder = &PlannerApp::pickFolderWithDialog;
    menus_ = new MenuCommands(main_->menuBar(), MenuCommands::Hooks{[this] { showSettings(); }, [this] { quit(); }},
                              this);

    connect(&holder_, &ModelHolder::replacing, this, [this](AppModel* old) { main_->releaseModel(old); });
    connect(&holder_, &ModelHolder::modelChanged, this, [this](AppModel* next) {
        main_->setModel(next);
        settings_->setModel(next);
        menus_->setModel(next);
    });
    holder_.replace(std::move(model));

    // Closing the windows leaves the planner running; it ends when it is quit.
    qApp->setQuitOnLastWindowClosed(false);
    // Quitting from outside (the session ending) saves too.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &PlannerApp::finishBeforeQuitting);
    // Never cancelled: the user ends the session, and nothing is left unsaved.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { commitData(); });
    qApp->installEventFilter(this);
}

PlannerApp::~PlannerApp()
{
    // The menus and the windows go before the model they show.
    delete menus_;
    menus_ = nullptr;
    settings_.reset();
    main_.reset();
}

void PlannerApp::showMainWindow()
{
    main_->show();
    main_->raise();
    main_->activateWindow();
}

void PlannerApp::showSettings()
{
    // It opens over the main window, not wherever the window manager puts a new window.
    if (!settings_->isVisible() && main_->isVisible()) {
        settings_->adjustSize();
        QRect frame(QPoint(), settings_->frameGeometry().size().expandedTo(settings_->size()));
        frame.moveCenter(main_->frameGeometry().center());
        if (const QScreen* screen = main_->screen()) {
            const QRect area = screen->availableGeometry();
            frame.moveLeft(std::clamp(frame.left(), area.left(), std::max(area.left(), area.right() - frame.width() + 1)));
            frame.moveTop(std::clamp(frame.top(), area.top(), std::max(area.top(), area.bottom() - frame.height() + 1)));
        }
        settings_->move(frame.topLeft());
    }
    settings_->show();
    settings_->raise();
    settings_->activateWindow();
}

QString PlannerApp::pickFolderWithDialog(QWidget* parent, const QString& start)
{
    QFileDialog dialog(parent, QString(), start);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Use This Folder"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void PlannerApp::chooseFolder()
{
    const QString folder = options_.pickFolder(settings_->isVisible() ? static_cast<QWidget*>(settings_.get()) : main_.get(),
                                               model().store().folder());
    if (folder.isEmpty())
        return;
    useFolder(folder);
}

void PlannerApp::useFolder(const QString& folder)
{
    holder_.replace(Launch::modelForChosenFolder(folder, desktopHost()));
    // The plan just chosen is what the user wants to see.
    if (!main_->isVisible())
        showMainWindow();
}

void PlannerApp::open(const QString& url)
{
    model().open(url);
}

bool PlannerApp::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FileOpen && watched == qApp) {
        const QUrl url = static_cast<QFileOpenEvent*>(event)->url();
        if (url.scheme() == QLatin1String("vodarazezaza")) {
            open(url.toString(QUrl::FullyEncoded));
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void PlannerApp::activate()
{
    model().focusMode().reopen();
}

void PlannerApp::quit()
{
    if (quitting_)
        return;
    quitting_ = true;
    saveEverything();
    QTimer::singleShot(0, this, [] { QCoreApplication::quit(); });
}

void PlannerApp::quitOnSignals()
{
    auto* quitting = new QuitSignals(this);
    connect(quitting, &QuitSignals::received, this, &PlannerApp::quit);
}

void PlannerApp::commitData()
{
    saveEverything();
}

void PlannerApp::finishBeforeQuitting()
{
    saveEverything();
}

void PlannerApp::saveEverything()
{
    // The fields and details first: what they hold becomes the plan, which the saves
    // and the sync then write.
    OpenWork::keep();
    main_->saveOpenWork();
    model().setEditing(std::nullopt);
    model().flushSync();
}
