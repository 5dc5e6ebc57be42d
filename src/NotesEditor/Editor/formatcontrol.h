#pragma once
// One button of the format popover: a rounded surface that shows whether its
// formatting is in force at the caret (on), lights up under the pointer, and
// shrinks a little while pressed. It never takes the keys, so they stay in the
// note. Colours come from the palette: on is the highlight, the label the window text.

#include <QAbstractButton>
#include <QFont>
#include <QVariantAnimation>

class FormatControl : public QAbstractButton {
    Q_OBJECT
public:
    struct Content {
        enum class Kind { title, glyph, symbol, symbolAndTitle };
        Kind kind = Kind::title;
        QString text;       // title or glyph
        QFont font;
        qreal kern = 0;
        bool underline = false;
        QString symbol;     // a FormatIcons name

        static Content title(const QString& text, const QFont& font, qreal kern);
        static Content glyph(const QString& text, const QFont& font, bool underline);
        static Content symbolOnly(const QString& symbol);
        static Content symbolAndTitle(const QString& symbol, const QString& title);
    };

    FormatControl(const Content& content, const QString& accessibilityLabel, QWidget* parent = nullptr);

    bool isOn() const { return isChecked(); }
    // Only the popover's refresh turns a control on or off; a click does not.
    void setOn(bool on, bool animated);
    bool isHovered() const { return hovered_; }
    bool isPressed() const { return pressed_; }
    const Content& content() const { return content_; }

    // The fill the state asks for, and the fill and scale shown now (mid-animation
    // they differ).
    QColor fill() const;
    QColor shownFill() const { return shownFill_; }
    qreal shownScale() const { return shownScale_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void nextCheckState() override;

private:
    void setPressed(bool pressed);
    void applyColours(bool animated);
    QColor labelColour() const;

    Content content_;
    bool hovered_ = false;
    bool pressed_ = false;
    QColor shownFill_;
    qreal shownScale_ = 1;
    QVariantAnimation fillAnimation_;
    QVariantAnimation pressAnimation_;
};
