#pragma once
// A short text of a row, painted in a palette colour: a thing's title, its steps count,
// its reminder time, the note and repeat marks, the more line.
//
// API
//   auto* title = new RowText(13, row);
//   title->setText(thing.title);  title->setColor(Palette::pembyText);
//   title->setStruck(thing.done); title->setWash(markWash(*thing.mark), 6, 3);
//
// One line, cut at its logical end with an ellipsis when it does not fit, in the
// direction of its first strong character (TitleText); the text is shown as written,
// never as markup. The colour resolves at paint time, so a change of
// appearance needs nothing but the repaint every widget gets.

#include "palette.h"
#include "things.h"
#include "titletext.h"

#include <QFont>
#include <QWidget>

#include <optional>

class RowText : public QWidget {
    Q_OBJECT
public:
    explicit RowText(int pixelSize, QWidget* parent = nullptr);

    const QString& text() const { return text_; }
    void setText(const QString& text);
    void setColor(const PembyColor& color);
    const PembyColor& color() const { return color_; }
    // A solid line through the text, in the text's colour.
    void setStruck(bool struck);
    bool isStruck() const { return struck_; }
    // A rounded tint behind the text, the text inset by `dx` and `dy` inside it.
    void setWash(std::optional<PembyColor> wash, int dx = 0, int dy = 0);
    const std::optional<PembyColor>& wash() const { return wash_; }
    // The narrowest it gets before the text is cut.
    void setMinimumTextWidth(int width);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void changed();
    // The shown text's advance, measured once per text and font: a row's layout asks
    // for its size many times over, and shaping the text is most of what that costs.
    qreal advance() const;

    QString text_;
    QString shown_;
    PembyColor color_ = Palette::pembyText;
    bool struck_ = false;
    std::optional<PembyColor> wash_;
    int dx_ = 0;
    int dy_ = 0;
    int minimumText_ = 0;
    mutable std::optional<qreal> advance_;
    // The text as last cut to the width it was painted at: most paints are at the width
    // before.
    struct Fitted {
        qreal width = 0;
        TitleText::Line line;
    };
    mutable std::optional<Fitted> fitted_;
};

// `base` at a fixed pixel size (and weight): every text of the rows and the details.
QFont sizedFont(QFont base, int pixelSize, QFont::Weight weight = QFont::Normal);
// "Lavender", "Green", "Red": a mark as menus and swatches name it.
QString markName(Mark mark);
