#pragma once
// A confirmation over the window: a title, a short message and a row of choices, the
// last of them Cancel. Escape and closing the window answer Cancel too.
//
// API
//   auto* ask = new ConfirmDialog(title, message, parent);
//   QPushButton* keep = ask->addChoice(QStringLiteral("Move Them to ") + name, ConfirmDialog::Role::Plain);
//   ask->addChoice(QStringLiteral("Delete Them Too"), ConfirmDialog::Role::Destructive);
//   ask->addChoice(QStringLiteral("Cancel"), ConfirmDialog::Role::Cancel);
//   connect(ask, &QDialog::finished, ..., [=] { if (ask->chosen() == keep) ... });
//   ask->open();                                   window-modal, returns at once
//
// Texts are shown as written: a list called "r&d" reads so on its button, and markup in
// a name stays text.

#include <QDialog>
#include <QPointer>

class QAbstractButton;
class QHBoxLayout;
class QLabel;
class QPushButton;

class ConfirmDialog : public QDialog {
    Q_OBJECT
public:
    enum class Role { Plain, Destructive, Cancel };

    ConfirmDialog(const QString& title, const QString& message, QWidget* parent = nullptr);

    QPushButton* addChoice(const QString& text, Role role);
    void setTexts(const QString& title, const QString& message);
    void setChoiceText(QPushButton* choice, const QString& text);

    QString title() const;
    QString message() const;
    QList<QPushButton*> choices() const { return choices_; }
    // The choice the user pressed; none for Cancel, Escape or a close.
    QAbstractButton* chosen() const { return chosen_; }

private:
    QLabel* title_;
    QLabel* message_;
    QHBoxLayout* buttons_;
    QList<QPushButton*> choices_;
    QPointer<QAbstractButton> chosen_;
};
