#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace chimeon {

// Window layouts are given in dialog units of the dialog font: a quarter of the font's average
// character width across, an eighth of its height down.
struct DialogBaseUnits {
    int cx = 0;  // average character width, pixels
    int cy = 0;  // character height, pixels
};

// The dialog font: a 9-point CJK face found through fontconfig.
QFont DialogFont();
DialogBaseUnits BaseUnitsOf(const QFont& font);

// Dialog units to pixels, each edge rounded like the platform dialogs do (half away from zero).
QRect MapDialogRect(const QRect& dialogUnits, DialogBaseUnits units);
QSize MapDialogSize(const QSize& dialogUnits, DialogBaseUnits units);

}  // namespace chimeon
