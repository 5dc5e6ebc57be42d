#pragma once
// What the focus panel shows: a header naming the place in focus (today, tomorrow or
// one list) with a menu to switch it, what is left there, and two glyph buttons (float
// on top, back to the full window); below it the place's thing column, exactly as tall
// as its lines up to maxRows, scrolling beyond; a rounded glass background; and the
// app's toast along the bottom.
//
// API
//   auto* view = new FocusView(model, 10, panel);
//   connect(view, &FocusView::heightChanged, panel, ...);      fit the window to it
//   connect(view, &FocusView::activateRequested, panel, ...);  a click: take the keys
//   view->setTranslucent(false);      an opaque fill where no compositor blends windows
//
// It takes the keys and hands every press to the model's key map for the focus panel;
// an arrow with nothing selected selects the place's first thing instead. Whenever an
// inline edit ends, the keys come back to it.

#include "things.h"

#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

class AppModel;
class FocusHeader;
class FocusToast;
class GlyphButton;
class QLabel;
class QMenu;
class QScrollArea;
class ThingColumn;

class FocusView : public QWidget {
    Q_OBJECT
public:
    FocusView(AppModel& model, int maxRows, QWidget* parent = nullptr);
    ~FocusView() override;

    ThingColumn* column() const { return column_; }
    QScrollArea* rows() const { return scroll_; }
    // The header's texts: the source title, the count.
    QString sourceTitle() const;
    QString countText() const;
    // The source menu with its items as of now (the lists change).
    QMenu& sourceMenu();
    GlyphButton* pinButton() const { return pin_; }
    GlyphButton* expandButton() const { return expand_; }
    QWidget* header() const;
    FocusToast* toast() const { return toast_; }
    bool isHovering() const { return hovering_; }
    bool isTranslucent() const { return translucent_; }
    void setTranslucent(bool translucent);

    // The height the view wants for its content now.
    int contentHeight() const;
    // Lines the column shows, and how many of them fit before it scrolls.
    int rowCount() const;
    int maxRows() const { return maxRows_; }

    // "nothing. suspicious.", "all done" or "N left", over the place's things and, on
    // today, the other apps' things for today.
    static QString countText(const QList<Thing>& things, int othersOpen, int othersAll);

    static constexpr int headerHeight = 40;
    // The pin and the expand button, all of them clickable.
    static constexpr int buttonSide = 28;
    static constexpr int cornerRadius = 18;
    static constexpr int padTop = 4;
    static constexpr int padSide = 8;
    static constexpr int padBottom = 8;
    static constexpr int spacing = 2;
    static constexpr qreal dimmed = 0.6;
    static constexpr int hoverMs = 120;

signals:
    void heightChanged(int height);
    // A click anywhere in the view: its window should become the active one.
    void activateRequested();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void followPlace();
    void syncHeader();
    void syncPin();
    void fitRows();
    void placeToast();
    void setHovering(bool hovering);
    // The press the view answers itself: an arrow with nothing selected.
    bool selectsFirst(const QKeyEvent& event) const;

    AppModel& model_;
    int maxRows_;
    FocusHeader* header_;
    QLabel* count_;
    GlyphButton* pin_;
    GlyphButton* expand_;
    QMenu* sourceMenu_;
    QScrollArea* scroll_;
    ThingColumn* column_;
    FocusToast* toast_;
    QPointer<QWindow> watchedWindow_;
    int reported_ = -1;
    bool hovering_ = false;
    bool translucent_ = true;
    qreal buttonOpacity_ = dimmed;
    QVariantAnimation hover_;
};

// The toast of the focus panel: a capsule of ink with the text in paper, two lines at
// most, fading in and out.
class FocusToast : public QWidget {
    Q_OBJECT
public:
    explicit FocusToast(AppModel& model, QWidget* parent = nullptr);

    const QString& text() const { return text_; }
    bool isShowing() const { return showing_; }
    // The size it takes within `width`.
    QSize sizeWithin(int width) const;

    static constexpr int fadeMs = 180;

signals:
    void changed();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void follow();

    AppModel& model_;
    QString text_;
    bool showing_ = false;
    qreal opacity_ = 0;
    QVariantAnimation fade_;
};
