#pragma once
// The one application model of the app, held where the windows, the menus and the
// settings form find it. Choosing another planner folder replaces the model whole;
// everything that shows the old one hears of it first, while the old model still
// stands, and follows the new one after.

#include <QObject>
#include <QPointer>

#include <memory>

class AppModel;

class ModelHolder : public QObject {
    Q_OBJECT

public:
    explicit ModelHolder(QObject* parent = nullptr);
    ~ModelHolder() override;

    // None until the first model is given.
    AppModel* model() const { return model_; }

    // Takes `next` as the model, in this order: replacing() lets the views save and
    // close their sheets, popovers and the notes pane against the old model; the old
    // model's focus panel goes away; the holder switches and says modelChanged(); the
    // old model is deleted once control is back in the event loop, so a view that is
    // still unwinding from the old model's signal finds it alive.
    void replace(std::unique_ptr<AppModel> next);

signals:
    // The old model is about to go: save what is open against it and close it.
    void replacing(AppModel* old);
    void modelChanged(AppModel* model);

private:
    QPointer<AppModel> model_;
};
