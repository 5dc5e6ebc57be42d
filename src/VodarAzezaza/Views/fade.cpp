#include "fade.h"

#include "motion.h"

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QVariantAnimation>

namespace {

// Runs the opacity of `effect` from `from` to `to`; `done` when it gets there.
void run(QGraphicsOpacityEffect* effect, qreal from, qreal to, std::function<void()> done)
{
    auto* animation = new QVariantAnimation(effect);
    Motion::configure(*animation, Motion::pointerMs);
    animation->setStartValue(from);
    animation->setEndValue(to);
    effect->setOpacity(from);
    QObject::connect(animation, &QVariantAnimation::valueChanged, effect,
                     [effect](const QVariant& v) { effect->setOpacity(v.toReal()); });
    QObject::connect(animation, &QVariantAnimation::finished, effect, std::move(done));
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

} // namespace

namespace Fade {

void in(QWidget* widget)
{
    if (!widget || !Motion::animates())
        return;
    auto* effect = new QGraphicsOpacityEffect(widget);
    widget->setGraphicsEffect(effect);
    // The effect goes once the widget is solid: it would keep rendering through a pixmap.
    run(effect, 0, 1, [widget, effect] {
        if (widget->graphicsEffect() == effect)
            widget->setGraphicsEffect(nullptr);
    });
}

void out(QWidget* parent, const QRect& where, const QPixmap& picture)
{
    if (!parent || picture.isNull() || !Motion::animates())
        return;
    auto* ghost = new QLabel(parent);
    ghost->setAttribute(Qt::WA_TransparentForMouseEvents);
    ghost->setPixmap(picture);
    ghost->setGeometry(where);
    auto* effect = new QGraphicsOpacityEffect(ghost);
    ghost->setGraphicsEffect(effect);
    ghost->show();
    ghost->raise();
    run(effect, 1, 0, [ghost] { ghost->deleteLater(); });
}

bool isFadingIn(const QWidget* widget)
{
    return widget && qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect());
}

} // namespace Fade
