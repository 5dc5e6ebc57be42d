#include "markwash.h"

PembyColor markWash(Mark mark)
{
    switch (mark) {
    case Mark::Lavender: return Palette::snooze.opacity(0.35);
    case Mark::Green: return Palette::ok.opacity(0.25);
    case Mark::Red: return Palette::oops.opacity(0.25);
    }
    return Palette::snooze.opacity(0.35);
}
