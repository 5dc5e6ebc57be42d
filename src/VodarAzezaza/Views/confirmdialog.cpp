#include "confirmdialog.h"

#include "palette.h"
#include "plaintext.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// A button reads "&" as the mark of its shortcut letter; a name shows it as it is.
QString literal(const QString& text)
{
    QString escaped = text;
    return escaped.replace(u'&', QStringLiteral("&&"));
}

} // namespace

ConfirmDialog::ConfirmDialog(const QString& title, const QString& message, QWidget* parent) : QDialog(parent)
{
    setWindowModality(Qt::WindowModal);
    setWindowTitle(title);
    setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 20, 22, 16);
    layout->setSpacing(8);
    title_ = PlainText::label(title, this);
    QFont bold = title_->font();
    bold.setPixelSize(14);
    bold.setWeight(QFont::DemiBold);
    title_->setFont(bold);
    title_->setWordWrap(true);
    message_ = PlainText::label(message, this);
    QFont small = message_->font();
    small.setPixelSize(12);
    message_->setFont(small);
    message_->setWordWrap(true);
    layout->addWidget(title_);
    layout->addWidget(message_);
    layout->addSpacing(10);
    buttons_ = new QHBoxLayout;
    buttons_->setSpacing(8);
    buttons_->addStretch(1);
    layout->addLayout(buttons_);
    setMinimumWidth(360);
}

QPushButton* ConfirmDialog::addChoice(const QString& text, Role role)
{
    auto* button = new QPushButton(literal(text), this);
    button->setAutoDefault(false);
    if (role == Role::Destructive) {
        QPalette p = button->palette();
        p.setColor(QPalette::ButtonText, QColor(Palette::oops));
        button->setPalette(p);
    }
    if (role != Role::Cancel && choices_.isEmpty())
        button->setDefault(true);
    buttons_->addWidget(button);
    choices_.append(button);
    if (role == Role::Cancel) {
        connect(button, &QPushButton::clicked, this, &QDialog::reject);
    } else {
        connect(button, &QPushButton::clicked, this, [this, button] {
            chosen_ = button;
            accept();
        });
    }
    return button;
}

void ConfirmDialog::setTexts(const QString& title, const QString& message)
{
    setWindowTitle(title);
    title_->setText(title);
    message_->setText(message);
}

void ConfirmDialog::setChoiceText(QPushButton* choice, const QString& text) { choice->setText(literal(text)); }

QString ConfirmDialog::title() const { return title_->text(); }

QString ConfirmDialog::message() const { return message_->text(); }
