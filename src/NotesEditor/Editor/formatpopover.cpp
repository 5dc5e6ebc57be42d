#include "formatpopover.h"

#include "formatcontrol.h"
#include "notetextview.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QVBoxLayout>

namespace {

QFont uiFont(int pixels, QFont::Weight weight, bool italic = false)
{
    QFont f;
    f.setPixelSize(pixels);
    f.setWeight(weight);
    f.setItalic(italic);
    return f;
}

// "Bold (Ctrl+B)": the shortcut as this desktop writes it.
QString withShortcut(const QString& label, const char* keys)
{
    return label + QStringLiteral(" (") + QKeySequence(QString::fromLatin1(keys)).toString(QKeySequence::NativeText)
        + u')';
}

QFrame* separator()
{
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedWidth(FormatPopoverViewController::width);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

QWidget* group(bool vertical, int spacing, const QList<FormatControl*>& controls)
{
    auto* box = new QWidget;
    QBoxLayout* layout = vertical ? static_cast<QBoxLayout*>(new QVBoxLayout(box)) : new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    for (FormatControl* c : controls) {
        // Role rows and the section row span the palette; the style and list
        // buttons share its width equally.
        if (vertical)
            c->setFixedWidth(FormatPopoverViewController::width);
        layout->addWidget(c, vertical ? 0 : 1);
    }
    box->setFixedWidth(FormatPopoverViewController::width);
    return box;
}

} // namespace

FormatPopoverViewController::FormatPopoverViewController(NoteTextView* textView, QWidget* parent)
    : QWidget(parent), textView_(textView)
{
    using Content = FormatControl::Content;
    const auto make = [this](const QString& action, const Content& content, const QString& label) {
        return add(action, new FormatControl(content, label));
    };

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(8);
    stack->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    stack->addWidget(group(true, 2, {
        make(u"formatTitle:"_qs, Content::title(tr("Title"), uiFont(19, QFont::Bold), -0.3), tr("Title")),
        make(u"formatHeading:"_qs, Content::title(tr("Heading"), uiFont(16, QFont::DemiBold), -0.2), tr("Heading")),
        make(u"formatSubheading:"_qs, Content::title(tr("Subheading"), uiFont(14, QFont::DemiBold), 0), tr("Subheading")),
        make(u"formatBody:"_qs, Content::title(tr("Body"), uiFont(13, QFont::Normal), 0), tr("Body")),
    }));
    stack->addWidget(separator());
    stack->addWidget(group(false, 4, {
        make(u"toggleBold:"_qs, Content::glyph(u"B"_qs, uiFont(15, QFont::Bold), false), withShortcut(tr("Bold"), "Ctrl+B")),
        make(u"toggleItalic:"_qs, Content::glyph(u"I"_qs, uiFont(15, QFont::DemiBold, true), false),
             withShortcut(tr("Italic"), "Ctrl+I")),
        make(u"toggleUnderline:"_qs, Content::glyph(u"U"_qs, uiFont(15, QFont::DemiBold), true),
             withShortcut(tr("Underline"), "Ctrl+U")),
    }));
    stack->addWidget(group(false, 4, {
        make(u"toggleBullets:"_qs, Content::symbolOnly(u"list.bullet"_qs), withShortcut(tr("Bulleted List"), "Ctrl+Shift+8")),
        make(u"toggleNumbers:"_qs, Content::symbolOnly(u"list.number"_qs), withShortcut(tr("Numbered List"), "Ctrl+Shift+9")),
        make(u"toggleChecklist:"_qs, Content::symbolOnly(u"checklist"_qs), withShortcut(tr("Checklist"), "Ctrl+Shift+L")),
        make(u"insertDivider:"_qs, Content::symbolOnly(u"minus"_qs), withShortcut(tr("Divider"), "Ctrl+Shift+D")),
    }));
    stack->addWidget(separator());
    stack->addWidget(group(true, 0, {
        make(u"toggleCollapsibleSection:"_qs, Content::symbolAndTitle(u"chevron.down.circle"_qs, tr("Collapsible Section")),
             withShortcut(tr("Collapsible Section"), "Ctrl+Shift+K") + tr(": a heading you can fold")),
    }));

    refresh(false);
    if (textView_) {
        // The caret moved or the text changed under the open palette: the lights
        // follow at once. A press of our own lights them itself, animated.
        const auto follow = [this] {
            if (!pressing_)
                refresh(false);
        };
        connect(textView_, &QTextEdit::cursorPositionChanged, this, follow);
        connect(textView_, &QTextEdit::selectionChanged, this, follow);
        connect(textView_, &QTextEdit::textChanged, this, follow);
    }
}

FormatControl* FormatPopoverViewController::add(const QString& action, FormatControl* control)
{
    control->setObjectName(action);
    controls_.insert(action, control);
    connect(control, &QAbstractButton::clicked, this, [this, control] { pressed(control); });
    return control;
}

void FormatPopoverViewController::pressed(FormatControl* control)
{
    if (!textView_)
        return;
    pressing_ = true;
    textView_->perform(control->objectName());
    pressing_ = false;
    refresh(true);
}

void FormatPopoverViewController::refresh(bool animated)
{
    if (!textView_)
        return;
    const NoteTextView::FormattingState s = textView_->formattingState();
    const auto set = [&](const char16_t* action, bool on) {
        if (FormatControl* c = controls_.value(QString::fromUtf16(action)))
            c->setOn(on, animated);
    };
    set(u"formatTitle:", s.role == TextRole::title);
    set(u"formatHeading:", s.role == TextRole::heading);
    set(u"formatSubheading:", s.role == TextRole::subheading);
    set(u"formatBody:", s.role == TextRole::body);
    set(u"toggleBold:", s.bold);
    set(u"toggleItalic:", s.italic);
    set(u"toggleUnderline:", s.underline);
    set(u"toggleBullets:", s.kind.type == ParagraphKind::Type::bullet);
    set(u"toggleChecklist:", s.kind.type == ParagraphKind::Type::checkbox);
    set(u"toggleNumbers:", s.kind.type == ParagraphKind::Type::number);
    set(u"toggleCollapsibleSection:", s.collapsible);
    set(u"insertDivider:", false);
}
