#pragma once
// SIGTERM, SIGINT and SIGHUP (a logout, a shutdown, the service manager stopping the
// app, Ctrl+C in a terminal, the terminal going away) as an ordinary request to quit.
// The handler does nothing but write the signal's number to a pipe; the event loop reads
// it and says so, so everything the quit does runs as usual on the GUI thread.
//
// API
//   auto* quitting = new QuitSignals(app);
//   connect(quitting, &QuitSignals::received, app, &PlannerApp::quit);
//
// Once one has arrived the signals take their default action again: a quit that hangs
// still ends at the second one. One instance at a time; it puts the default actions back
// when it goes.

#include <QObject>

class QSocketNotifier;

class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

    // False when the pipe or the handlers could not be set up (logged); the signals
    // then keep their default action.
    bool isListening() const { return notifier_ != nullptr; }

    static const QList<int>& handled();

signals:
    void received(int signal);

private:
    void readPipe();

    QSocketNotifier* notifier_ = nullptr;
};
