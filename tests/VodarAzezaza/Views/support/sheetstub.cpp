#include "sheetstub.h"

#include <QHashFunctions>

namespace {

class StubSheet final : public SheetContent {
public:
    StubSheet(SheetKind kind, SheetStubs::Follow follow, std::shared_ptr<SheetStubs::Log> log, QWidget* parent)
        : SheetContent(parent), kind_(kind), follow_(follow), log_(std::move(log))
    {
        setMinimumSize(320, 200);
        ++log_->made[kind_];
    }
    void saveNow() override { ++log_->saved[kind_]; }
    bool followTarget(const Sheets::Target&) override
    {
        if (follow_ == SheetStubs::Follow::Never)
            return false;
        ++log_->followed[kind_];
        return true;
    }

private:
    SheetKind kind_;
    SheetStubs::Follow follow_;
    std::shared_ptr<SheetStubs::Log> log_;
};

} // namespace

SheetStubs::SheetStubs(Follow follow)
{
    for (const SheetKind kind : Sheets::allKinds) {
        previous_[std::size_t(kind)] = Sheets::setFactory(kind, [kind, follow, log = log_](AppModel&, QWidget* parent) {
            return new StubSheet(kind, follow, log, parent);
        });
    }
}

SheetStubs::~SheetStubs()
{
    for (const SheetKind kind : Sheets::allKinds)
        Sheets::setFactory(kind, previous_[std::size_t(kind)]);
}

NoSheets::NoSheets()
{
    for (const SheetKind kind : Sheets::allKinds)
        previous_[std::size_t(kind)] = Sheets::setFactory(kind, {});
}

NoSheets::~NoSheets()
{
    for (const SheetKind kind : Sheets::allKinds)
        Sheets::setFactory(kind, previous_[std::size_t(kind)]);
}
