#pragma once
// The card over an empty week: the yawning face, a dry remark and a hint. It takes no
// clicks, so the lines beneath it still start a new thing. It greets a fresh plan once
// per run: when it leaves the screen, for whatever reason, it marks the banner spent
// (AppModel::emptyBannerSpent) and the board never shows it again.
//
// API
//   auto* card = new EmptyWeek(model, board);   the board shows, hides and centres it

#include <QPointer>
#include <QWidget>

class AppModel;
class YawnView;

class EmptyWeek : public QWidget {
    Q_OBJECT
public:
    explicit EmptyWeek(AppModel& model, QWidget* parent = nullptr);

    YawnView* face() const { return face_; }
    static QString remark() { return QStringLiteral("nothing planned. suspicious."); }
    static QString hint() { return QStringLiteral("Click any line and type. Or don't."); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QFont hintFont() const;

    QPointer<AppModel> model_;
    YawnView* face_;
};
