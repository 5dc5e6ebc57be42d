#include "modelholder.h"

#include "appmodel.h"
#include "focuspanelcontroller.h"

ModelHolder::ModelHolder(QObject* parent)
    : QObject(parent)
{
}

ModelHolder::~ModelHolder()
{
    delete model_.data();
}

void ModelHolder::replace(std::unique_ptr<AppModel> next)
{
    AppModel* old = model_;
    if (old && old == next.get()) {
        next.release();  // already ours
        return;
    }
    if (old) {
        emit replacing(old);
        // A panel left standing would keep showing a plan that is no longer the app's.
        old->focus().hidePanel();
    }
    model_ = next.release();
    emit modelChanged(model_);
    if (old)
        old->deleteLater();
}
