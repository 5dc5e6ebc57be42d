#pragma once
// User text (titles, list names, previews, the sibling apps' data) is shown as the
// characters it holds, never as markup: a title such as "<b>rent</b>" reads just so.
//
// API
//   auto* title = PlainText::label(thing.title, row);   a label that never reads markup
//                                                        and never opens a link
//   button->setToolTip(PlainText::toolTip(QStringLiteral("See all 4 in ") + name));
//
// Qt guesses whether a label's or a tooltip's text is rich text; these never let it.

#include <QString>

class QLabel;
class QWidget;

namespace PlainText {

QLabel* label(const QString& text, QWidget* parent = nullptr);
// A tooltip that shows `text` literally, line breaks kept.
QString toolTip(const QString& text);

} // namespace PlainText
