#include "sheetstub.h"

#include <QHashFunctions>

namespace {

class StubSheet final : public SheetContent {
public:
    StubSheet(SheetKind kind, std::shared_ptr<SheetStubs::Log> log, QWidget* parent)
        : SheetContent(parent), kind_(kind), log_(std::move(log))
    {
        setMinimumSize(320, 200);
        ++log_->made[kind_];
    }
    void saveNow() override { ++log_->saved[kind_]; }

private:
    SheetKind kind_;
    std::shared_ptr<SheetStubs::Log> log_;
};

} // namespace

SheetStubs::SheetStubs()
{
    for (const SheetKind kind : Sheets::allKinds) {
        previous_[std::size_t(kind)] = Sheets::setFactory(kind, [kind, log = log_](AppModel&, QWidget* parent) {
            return new StubSheet(kind, log, parent);
        });
    }
}

SheetStubs::~SheetStubs()
{
    for (const SheetKind kind : Sheets::allKinds)
        Sheets::setFactory(kind, previous_[std::size_t(kind)]);
}
