#include "sheetstub.h"

#include <QHashFunctions>

#include <utility>

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

SheetStubs::SheetStubs(Follow follow) : making_(std::make_shared<Making>(Making{follow, log_})) {}

SheetStubs::SheetStubs(SheetStubs& outer, Follow follow)
    : making_(outer.making_), before_(std::exchange(*outer.making_, Making{follow, log_}))
{
}

SheetStubs::~SheetStubs()
{
    if (before_)
        *making_ = *before_;
}

Sheets::Factories SheetStubs::factories() const
{
    Sheets::Factories made;
    for (const SheetKind kind : Sheets::allKinds) {
        made[kind] = [kind, making = making_](AppModel&, QWidget* parent) {
            return new StubSheet(kind, making->follow, making->log, parent);
        };
    }
    return made;
}
