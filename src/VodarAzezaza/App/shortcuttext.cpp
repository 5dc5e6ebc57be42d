#include "shortcuttext.h"

#include <QKeySequence>

namespace pemby {

QString undoShortcutText()
{
    // Without a desktop to ask, the platform's standard key may be unknown; Ctrl+Z is
    // what it is on every desktop but the Mac.
    const QString text = QKeySequence(QKeySequence::Undo).toString(QKeySequence::NativeText);
    return text.isEmpty() ? QKeySequence(Qt::CTRL | Qt::Key_Z).toString(QKeySequence::NativeText) : text;
}

QString ifThatWasAMistake()
{
    return undoShortcutText() + QStringLiteral(" if that was a mistake.");
}

} // namespace pemby
