#pragma once
// Light or dark: the one appearance of the whole app.
//
// API
//   auto* a = new Appearance(Appearance::Sources::fromDesktop(launch), &app);
//   a->makeAppWide();             // at start-up, before the first window: Fusion style, our
//                                 // QPalette, and Palette colours resolve from `a`
//   Appearance::current()         // the app-wide side (light while none is app-wide)
//   connect(a, &Appearance::changed, ...)   // only views that cache something need it;
//                                 // every widget is repainted on a change anyway
//   Appearance::widgetPalette(ColorScheme::Dark)   the QPalette of one side
//
// The side is decided in this order:
//   1. the launch options' appearance (PLANNER_APPEARANCE "dark" or "light");
//   2. the desktop's colour scheme from the settings portal
//      (org.freedesktop.appearance / color-scheme: 1 prefers dark, 2 prefers light,
//      0 or no answer says nothing), followed while the app runs;
//   3. the lightness of the desktop's window colour.

#include "palette.h"

#include <QObject>
#include <QPalette>
#include <QString>

#include <optional>

class DesktopSettings;
struct Launch;

class Appearance : public QObject {
    Q_OBJECT
public:
    struct Sources {
        // The side the launch options force, if any.
        std::optional<ColorScheme> forced;
        // The desktop's settings portal; none: there is no portal to ask.
        DesktopSettings* portal = nullptr;
        // The desktop's own palette, taken before ours replaces it.
        QPalette desktopPalette;

        // The launch options, the session bus's portal and the app's palette now.
        static Sources fromDesktop(const Launch& launch);
        static std::optional<ColorScheme> forcedBy(const Launch& launch);
    };

    explicit Appearance(Sources sources, QObject* parent = nullptr);
    ~Appearance() override;

    ColorScheme scheme() const { return scheme_; }

    // Makes this the appearance that every PembyColor resolves from, and gives the
    // widgets the Fusion style with the matching palette, so that standard controls,
    // menus and dialogs are dark on a dark desktop too.
    void makeAppWide();
    static Appearance* appWide();
    static ColorScheme current();

    // The widgets' palette for one side, made from the planner's colours.
    static QPalette widgetPalette(ColorScheme scheme);

signals:
    void changed(ColorScheme scheme);

private:
    void portalChanged(const QString& nameSpace, const QString& key, const QVariant& value);
    ColorScheme decide() const;
    // Takes the side decide() gives now; a change repaints and is announced.
    void settle();
    void applyToWidgets();
    static std::optional<ColorScheme> fromPortal(const QVariant& value);

    Sources sources_;
    std::optional<ColorScheme> portal_;
    ColorScheme scheme_ = ColorScheme::Light;
};
