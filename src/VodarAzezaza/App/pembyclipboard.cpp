#include "pembyclipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <memory>

namespace {

class SystemClipboard final : public PembyClipboard {
public:
    const QMimeData* mimeData() const override { return QGuiApplication::clipboard()->mimeData(); }
    void setMimeData(std::unique_ptr<QMimeData> data) override
    {
        QGuiApplication::clipboard()->setMimeData(data.release());
    }
};

} // namespace

namespace pemby {

std::unique_ptr<PembyClipboard> systemClipboard()
{
    return std::make_unique<SystemClipboard>();
}

} // namespace pemby
