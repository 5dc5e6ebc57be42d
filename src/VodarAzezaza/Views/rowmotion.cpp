#include "rowmotion.h"

#include "motion.h"

namespace RowMotion {

namespace {
int running = 0;
} // namespace

void run(const std::function<void()>& action)
{
    struct Scope {
        Scope() { ++running; }
        ~Scope() { --running; }
    } scope;
    Motion::pointer(action);
}

bool isRunning() { return running > 0; }

} // namespace RowMotion
