#include "editorfixture.h"

#include "note.h"
#include "paragraphmarkers.h"
#include "richtext.h"
#include "sections.h"
#include "textdocument.h"

#include <QApplication>
#include <QTest>
#include <QTextBlock>

QString expanded(QString shorthand)
{
    return shorthand.replace(QStringLiteral("<hr>"), ParagraphMarkers::divider());
}

QString abbreviated(QString text)
{
    return text.replace(ParagraphMarkers::divider(), QStringLiteral("<hr>"));
}

ShownEditor::ShownEditor(int width, int height) : editor_(std::make_unique<NoteEditor>())
{
    editor_->resize(width, height);
    editor_->setOnChange([count = changes_] { ++*count; });
    editor_->show();
    QApplication::setActiveWindow(editor_.get());
    editor_->textView()->setFocus();
}

ShownEditor::~ShownEditor() = default;

void ShownEditor::load(const QString& shorthand)
{
    QString text = expanded(shorthand);
    const int first = int(text.indexOf(u'|'));
    text.remove(u'|');
    const int second = first < 0 ? -1 : int(expanded(shorthand).indexOf(u'|', first + 1)) - 1;
    Note note(QStringLiteral("note"), text, QDateTime::currentDateTimeUtc());
    editor_->load(note);
    if (first >= 0)
        select(first, second >= 0 ? second : first);
    *changes_ = 0;
}

void ShownEditor::load(const QList<Para>& paragraphs, const QList<int>& collapsible, const QList<int>& collapsed)
{
    Note note(QStringLiteral("note"), noteText(paragraphs), QDateTime::currentDateTimeUtc());
    note.setCollapsibleSections(collapsible);
    note.setCollapsedSections(collapsed);
    editor_->load(note);
    *changes_ = 0;
}

QString ShownEditor::text()
{
    return abbreviated(pemby::documentText(document()));
}

QString ShownEditor::shorthand()
{
    QString text = pemby::documentText(document());
    const QTextCursor c = view()->textCursor();
    if (c.hasSelection()) {
        text.insert(c.selectionEnd(), u'|');
        text.insert(c.selectionStart(), u'|');
    } else {
        text.insert(c.position(), u'|');
    }
    return abbreviated(text);
}

void ShownEditor::select(int from, int to)
{
    QTextCursor c = view()->textCursor();
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
    view()->setTextCursor(c);
}

int ShownEditor::caret()
{
    return view()->textCursor().position();
}

void ShownEditor::key(int key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(view(), Qt::Key(key), modifiers);
}

void ShownEditor::type(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(view(), c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, view(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

QList<bool> ShownEditor::visibility()
{
    QList<bool> visible;
    for (QTextBlock b = document().begin(); b.isValid(); b = b.next())
        visible.append(b.isVisible());
    return visible;
}

bool ShownEditor::clickChevron(int index)
{
    const QList<NoteTextView::Chevron> chevrons = view()->chevrons();
    if (index >= chevrons.size())
        return false;
    const QPoint point = chevrons[index].rect.center();
    QWidget* target = view()->childAt(point);
    if (!target)
        return false;
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(view(), point));
    return true;
}
