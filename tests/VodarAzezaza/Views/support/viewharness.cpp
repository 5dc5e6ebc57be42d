#include "viewharness.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDropEvent>
#include <QImage>
#include <QMenu>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

ViewHost::ViewHost(int width)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    resize(width, 400);
}

void ViewHost::hold(QWidget* child)
{
    layout()->addWidget(child);
    child->show();
    show();
    activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(this));
}

QList<MenuItem> itemsOf(const QMenu& menu)
{
    QList<MenuItem> items;
    for (QAction* action : menu.actions()) {
        if (action->isSeparator()) {
            items.append({QStringLiteral("-"), false});
            continue;
        }
        items.append({action->text(), action->isEnabled()});
        if (QMenu* sub = action->menu()) {
            for (const MenuItem& inner : itemsOf(*sub))
                items.append({QStringLiteral("  ") + inner.text, inner.enabled});
        }
    }
    return items;
}

bool trigger(QMenu& menu, const QString& text)
{
    for (QAction* action : menu.actions()) {
        if (action->text() == text && !action->menu()) {
            action->trigger();
            return true;
        }
        if (QMenu* sub = action->menu(); sub && trigger(*sub, text))
            return true;
    }
    return false;
}

namespace {
QPoint orCentre(QWidget* widget, QPoint at) { return at.isNull() ? widget->rect().center() : at; }
} // namespace

void click(QWidget* widget, QPoint at, Qt::KeyboardModifiers modifiers)
{
    QTest::mouseClick(widget, Qt::LeftButton, modifiers, orCentre(widget, at));
}

void doubleClick(QWidget* widget, QPoint at)
{
    const QPoint p = orCentre(widget, at);
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, p);
    QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, p);
}

void pressAndDrag(QWidget* widget, QPoint from)
{
    const QPoint p = orCentre(widget, from);
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, p);
    const QPoint far = p + QPoint(QApplication::startDragDistance() + 4, 0);
    QMouseEvent move(QEvent::MouseMove, far, widget->mapToGlobal(far), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

DropAnswer dropOn(QWidget* target, QPointF at, const QMimeData& data, Qt::DropActions actions)
{
    DropAnswer answer;
    QDragEnterEvent enter(at.toPoint(), actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    answer.entered = enter.isAccepted();
    QDragMoveEvent move(at.toPoint(), actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    answer.proposed = move.isAccepted() ? move.dropAction() : Qt::IgnoreAction;
    QDropEvent drop(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    answer.accepted = drop.isAccepted();
    return answer;
}

bool hoverDrag(QWidget* target, QPointF at, const QMimeData& data)
{
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at.toPoint(), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    return move.isAccepted();
}

void leaveDrag(QWidget* target)
{
    QDragLeaveEvent leave;
    QApplication::sendEvent(target, &leave);
}

std::unique_ptr<QMimeData> textData(const QString& text)
{
    auto data = std::make_unique<QMimeData>();
    data->setText(text);
    return data;
}

QString savePicture(const QImage& image, const QString& name)
{
    const QString folder =
        qEnvironmentVariableIsSet("PEMBY_PICTURE_DIR") ? qEnvironmentVariable("PEMBY_PICTURE_DIR") : QDir::currentPath();
    const QString path = QDir(folder).filePath(name);
    EXPECT_TRUE(image.save(path)) << path.toStdString();
    return path;
}
