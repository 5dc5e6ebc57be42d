#pragma once
// The planner's colours. Every surface, text, rule and highlight the views paint comes
// from these names, never from the desktop's own colours.
//
// API
//   Palette::paper, Palette::ink, ...        the thirteen brand colours (fixed)
//   Palette::pembyText, Palette::pembyRule, ...  the eleven light/dark colours
//   QColor c = Palette::pembyText;           resolves for the app's appearance *now*:
//                                            convert in paintEvent, never keep the QColor
//   Palette::pembyText.in(ColorScheme::Dark)   one side, for tests and renders
//   Palette::snooze.opacity(0.35)            the same colour at another opacity
//
// A PembyColor is a pair of colours (light, dark); a fixed colour has both sides equal.
// The side is picked when the colour is converted, from the one app-wide appearance
// (appearance.h), so a change of appearance needs a repaint and nothing else.

#include <QColor>
#include <QRgb>

// Which side of the palette the app paints.
enum class ColorScheme { Light, Dark };

class PembyColor {
public:
    // A brand colour from its hex value, the same in light and dark.
    static constexpr PembyColor fixed(QRgb hex) { return PembyColor(Side{hex & 0xffffff, 1}, Side{hex & 0xffffff, 1}); }
    // An appearance-dependent colour made of two others, each taken from its own side.
    static constexpr PembyColor lightDark(const PembyColor& light, const PembyColor& dark)
    {
        return PembyColor(light.light_, dark.dark_);
    }

    // The base colour with its opacity replaced by `alpha` (0 to 1), on both sides.
    constexpr PembyColor opacity(double alpha) const
    {
        return PembyColor(Side{light_.rgb, alpha}, Side{dark_.rgb, alpha});
    }

    QColor light() const { return light_.color(); }
    QColor dark() const { return dark_.color(); }
    QColor in(ColorScheme scheme) const { return scheme == ColorScheme::Dark ? dark() : light(); }
    // The side of the app's appearance at this moment.
    QColor resolved() const;
    operator QColor() const { return resolved(); }

    constexpr bool operator==(const PembyColor&) const = default;

private:
    struct Side {
        QRgb rgb;      // 0xRRGGBB
        double alpha;  // 0 to 1
        QColor color() const
        {
            QColor c(QRgb(0xff000000u | rgb));
            c.setAlphaF(float(alpha));
            return c;
        }
        constexpr bool operator==(const Side&) const = default;
    };

    constexpr PembyColor(Side light, Side dark) : light_(light), dark_(dark) {}

    Side light_;
    Side dark_;
};

namespace Palette {

// The brand colours.
inline constexpr PembyColor paper = PembyColor::fixed(0xF6F3EC);       // warm off-white
inline constexpr PembyColor ink = PembyColor::fixed(0x121211);         // near-black
inline constexpr PembyColor yawn = PembyColor::fixed(0xFFD23F);        // brand yellow
inline constexpr PembyColor night = PembyColor::fixed(0x1C1B19);       // dark surface
inline constexpr PembyColor stone100 = PembyColor::fixed(0xECE8DF);
inline constexpr PembyColor stone200 = PembyColor::fixed(0xDDD8CC);
inline constexpr PembyColor stone400 = PembyColor::fixed(0xA7A196);
inline constexpr PembyColor stone600 = PembyColor::fixed(0x6B675F);
inline constexpr PembyColor stone800 = PembyColor::fixed(0x2E2C29);
inline constexpr PembyColor snooze = PembyColor::fixed(0xA99BFF);      // lavender
inline constexpr PembyColor snoozeDeep = PembyColor::fixed(0x6F5FE8);
inline constexpr PembyColor ok = PembyColor::fixed(0x2FBF71);          // green
inline constexpr PembyColor oops = PembyColor::fixed(0xFF5A4E);        // red

inline constexpr PembyColor white = PembyColor::fixed(0xFFFFFF);

// The colours that follow the appearance.
inline constexpr PembyColor pembyBackground = PembyColor::lightDark(paper, ink);
inline constexpr PembyColor pembyText = PembyColor::lightDark(ink, paper);
inline constexpr PembyColor pembyMuted = PembyColor::lightDark(stone600, stone400);
inline constexpr PembyColor pembyFaint = PembyColor::lightDark(stone400, stone600);
inline constexpr PembyColor pembySnooze = PembyColor::lightDark(snoozeDeep, snooze);
inline constexpr PembyColor pembySelection = PembyColor::lightDark(snooze.opacity(0.22), snooze.opacity(0.18));
inline constexpr PembyColor pembyRule = PembyColor::lightDark(stone200, stone800);
// Dark wells are plain white at 7 %, not paper.
inline constexpr PembyColor pembyWell = PembyColor::lightDark(ink.opacity(0.04), white.opacity(0.07));
inline constexpr PembyColor pembyGlassTint = PembyColor::lightDark(paper.opacity(0.35), night.opacity(0.55));
inline constexpr PembyColor pembyBand = PembyColor::lightDark(white, stone800);
inline constexpr PembyColor pembyOtherMonth = PembyColor::lightDark(stone100.opacity(0.6), white.opacity(0.03));

} // namespace Palette
