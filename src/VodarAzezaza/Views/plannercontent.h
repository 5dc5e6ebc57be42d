#pragma once
// The board area under the main window's toolbar: the week board, the month board or
// the notes screen by the model's mode, the footnote line beneath it, and the toast
// that floats 40 px above the bottom edge. The off-screen renderer draws this alone.
//
// API
//   auto* content = new PlannerContent(model, parent);
//   content->board()       the view of the current mode (a placeholder while that mode
//                          has no view yet)
//
// It keeps no state of its own: the board is made anew only when the mode changes.

#include <QPointer>
#include <QWidget>

class AppModel;
class FootnoteLine;
class QVBoxLayout;
class ToastView;

class PlannerContent : public QWidget {
    Q_OBJECT
public:
    explicit PlannerContent(AppModel& model, QWidget* parent = nullptr);
    ~PlannerContent() override;

    AppModel& model() const { return model_; }
    QWidget* board() const { return board_; }
    FootnoteLine* footnote() const { return footnote_; }
    ToastView* toast() const { return toast_; }

    // The footnote row's padding: left and right, and below.
    static constexpr int footnoteSide = 26;
    static constexpr int footnoteBelow = 14;
    // How far the toast floats above the bottom edge.
    static constexpr int toastLift = 40;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void showMode();
    void placeToast();

    AppModel& model_;
    QVBoxLayout* layout_;
    QPointer<QWidget> board_;
    FootnoteLine* footnote_;
    ToastView* toast_;
};

// The footnote: the model's footnote text at 12 px, red while a save failed.
class FootnoteLine : public QWidget {
    Q_OBJECT
public:
    explicit FootnoteLine(AppModel& model, QWidget* parent = nullptr);

    const QString& text() const { return text_; }
    bool isOops() const { return oops_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    AppModel& model_;
    QString text_;
    bool oops_ = false;
};

// The toast: a capsule of ink with the text in paper, fading in and out over 0.18 s.
class ToastView : public QWidget {
    Q_OBJECT
public:
    explicit ToastView(AppModel& model, QWidget* parent = nullptr);

    // The text shown, or being faded out.
    const QString& text() const { return text_; }
    // Whether a toast is up (it may still be fading in).
    bool isShowing() const { return showing_; }
    qreal opacity() const { return opacity_; }
    QSize sizeHint() const override;

    static constexpr int fadeMs = 180;

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void follow();
    void fadeTo(qreal target);

    AppModel& model_;
    QString text_;
    bool showing_ = false;
    qreal opacity_ = 0;
    class QVariantAnimation* fade_;
};
