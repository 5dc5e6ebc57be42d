#pragma once
// The tint behind a row whose thing carries a colour mark.
//
// API
//   if (thing.mark) p.fillRect(rect(), markWash(*thing.mark));
//
// Lavender is snooze at 35 %, green ok at 25 %, red oops at 25 %, the same in light and
// dark.

#include "palette.h"
#include "things.h"

PembyColor markWash(Mark mark);
