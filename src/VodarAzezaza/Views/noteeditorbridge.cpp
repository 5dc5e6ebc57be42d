#include "noteeditorbridge.h"

#include "noteeditor.h"
#include "palette.h"

#include <QEvent>
#include <QVBoxLayout>

NoteEditorBridge::NoteEditorBridge(QWidget* owner) : editor_(new NoteEditor(owner)) {}

void NoteEditorBridge::showFormat() const
{
    if (anchor_)
        editor_->showFormat(anchor_);
}

NoteEditorHost::NoteEditorHost(NoteEditorBridge& bridge, std::chrono::milliseconds delay,
                               std::function<void()> onChange, QWidget* parent)
    : QWidget(parent), bridge_(bridge), onChange_(std::move(onChange))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(&bridge_.editor());
    setFocusProxy(&bridge_.editor());

    pending_.setSingleShot(true);
    pending_.setInterval(delay);
    connect(&pending_, &QTimer::timeout, this, [this] {
        if (onChange_)
            onChange_();
    });
    bridge_.editor().setOnChange([this] {
        if (onEdit_)
            onEdit_();
        pending_.start();
    });
    applyColors();
}

void NoteEditorHost::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // A new appearance arrives as a new palette; the editor's colours follow it.
    if (event->type() == QEvent::PaletteChange)
        applyColors();
}

void NoteEditorHost::applyColors()
{
    bridge_.editor().setBackground(Palette::pembyBackground);
    bridge_.editor().setSelection(Palette::yawn.opacity(0.45));
}

FormatButton::FormatButton(NoteEditorBridge& bridge, QWidget* parent) : QPushButton(QStringLiteral("Aa"), parent)
{
    QFont f = font();
    f.setPixelSize(13);
    f.setWeight(QFont::Medium);
    setFont(f);
    setFixedSize(30, 22);
    setToolTip(toolTipText());
    setAccessibleName(QStringLiteral("Format"));
    // The popover must not take the keys from the text for good: the button never
    // holds them.
    setFocusPolicy(Qt::NoFocus);
    bridge.setAnchor(this);
    connect(this, &QPushButton::clicked, this, [&bridge] { bridge.showFormat(); });
}

QString FormatButton::toolTipText()
{
    return QStringLiteral("Format: styles, bold, lists, dividers");
}
