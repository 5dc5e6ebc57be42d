#include "motion.h"

#include "reducemotion.h"

#include <QPointF>
#include <QVariantAnimation>

namespace Motion {

const QEasingCurve& curve()
{
    static const QEasingCurve easing = [] {
        QEasingCurve c(QEasingCurve::BezierSpline);
        c.addCubicBezierSegment(QPointF(0.23, 1.0), QPointF(0.32, 1.0), QPointF(1.0, 1.0));
        return c;
    }();
    return easing;
}

bool animates() { return !ReduceMotion::isOn(); }

void configure(QVariantAnimation& animation, int durationMs)
{
    animation.setEasingCurve(curve());
    animation.setDuration(animates() ? durationMs : 0);
}

} // namespace Motion
