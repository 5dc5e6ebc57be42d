#pragma once
// One calendar event at the top of a day column: a short pembyFaint bar and the event's
// line in pembyMuted, on one line, cut with an ellipsis when it does not fit.
//
// API
//   auto* line = new EventRow(text, column);   line->setText(text) on a refresh
//
// 32 high and ruled like every line; the text is plain text, never markup.

#include <QWidget>

class EventRow : public QWidget {
    Q_OBJECT
public:
    explicit EventRow(const QString& text, QWidget* parent = nullptr);

    const QString& text() const { return text_; }
    void setText(const QString& text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRectF textRect() const;

    QString text_;
};
