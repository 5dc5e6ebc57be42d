#pragma once
// The main window's toolbar: the title block at the leading end; then, outside the
// notes screen, previous, "Today" and next; the "View" picker; the focus button; the
// search button. Every button calls one operation of the model; none takes the keys,
// so the board keeps them, and none is ever disabled.
//
// API
//   auto* bar = new Toolbar(model, parent);
//   bar->button(Toolbar::Button::Today)->click();

#include "appmodeltypes.h"

#include <QAbstractButton>
#include <QWidget>

#include <array>

class AppModel;
class QButtonGroup;

// A flat toolbar button drawn in the planner's colours: a chevron, a magnifier, a
// label, or the focus glyph with its word.
class ToolbarButton : public QAbstractButton {
    Q_OBJECT
public:
    enum class Face { ChevronLeft, ChevronRight, Magnifier, Text, Focus };

    ToolbarButton(Face face, const QString& text, QWidget* parent = nullptr);

    Face face() const { return face_; }
    // A segment of the picker: checkable, the checked one raised on the group's well.
    void setSegment();
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    Face face_;
    bool hovered_ = false;
    bool segment_ = false;
};

// The title and the subtitle on one baseline: the title in the pixel font at 30 px,
// never cut; the subtitle at 13 px, muted, cut when the toolbar runs out of room.
class TitleBlock : public QWidget {
    Q_OBJECT
public:
    explicit TitleBlock(QWidget* parent = nullptr);

    void setTexts(const QString& title, const QString& subtitle);
    const QString& title() const { return title_; }
    const QString& subtitle() const { return subtitle_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    static constexpr int spacing = 14;
    static constexpr int leading = 6;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString title_;
    QString subtitle_;
};

class Toolbar : public QWidget {
    Q_OBJECT
public:
    enum class Button { Previous, Today, Next, Week, Month, Notes, Focus, Search };

    explicit Toolbar(AppModel& model, QWidget* parent = nullptr);

    ToolbarButton* button(Button which) const { return buttons_[std::size_t(which)]; }
    TitleBlock* titleBlock() const { return title_; }
    // The "View" picker's three segments, with their help text.
    QWidget* picker() const { return picker_; }
    // The previous, "Today" and next group; hidden on the notes screen.
    QWidget* navigation() const { return navigation_; }

    static constexpr int barHeight = 52;

private:
    void refreshTexts();
    void refreshMode();

    AppModel& model_;
    TitleBlock* title_;
    QWidget* navigation_;
    QWidget* picker_;
    QButtonGroup* modes_;
    std::array<ToolbarButton*, 8> buttons_{};
};
