#include "openwork.h"

#include "editfield.h"
#include "familythingdetail.h"
#include "thingdetail.h"

#include <QApplication>
#include <QPointer>

namespace OpenWork {

void keep(const QList<QWidget*>& windows)
{
    const QList<QWidget*> roots = windows.isEmpty() ? QApplication::topLevelWidgets() : windows;
    // Gathered first: what a commit changes in the model may take widgets away.
    QList<QPointer<EditField>> fields;
    QList<QPointer<ThingDetail>> details;
    QList<QPointer<ExternalDetail>> externals;
    for (QWidget* root : roots) {
        if (!root)
            continue;
        for (EditField* field : root->findChildren<EditField*>())
            fields.append(field);
        for (ThingDetail* detail : root->findChildren<ThingDetail*>())
            details.append(detail);
        for (ExternalDetail* detail : root->findChildren<ExternalDetail*>())
            externals.append(detail);
    }
    for (const QPointer<EditField>& field : std::as_const(fields)) {
        if (field)
            field->keepNow();
    }
    for (const QPointer<ThingDetail>& detail : std::as_const(details)) {
        if (detail)
            detail->save();
    }
    for (const QPointer<ExternalDetail>& detail : std::as_const(externals)) {
        if (detail)
            detail->save();
    }
}

} // namespace OpenWork
