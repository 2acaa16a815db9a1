#include "ui/app/dialog_units.h"

#include <QFontMetrics>
#include <QStringList>
#include <cmath>

namespace chimeon {

namespace {
int Scale(int value, int numerator, int denominator) {
    return static_cast<int>(std::lround(static_cast<double>(value) * numerator / denominator));
}
}  // namespace

QFont DialogFont() {
    QFont font;
    // The first installed face wins; fontconfig maps the rest.
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans SC")});
    font.setPointSize(9);
    return font;
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    QFontMetrics metrics(font);
    const int alphabetWidth = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogBaseUnits{(alphabetWidth / 26 + 1) / 2, metrics.height()};
}

QRect MapDialogRect(const QRect& r, DialogBaseUnits units) {
    const int left = Scale(r.x(), units.cx, 4);
    const int top = Scale(r.y(), units.cy, 8);
    const int right = Scale(r.x() + r.width(), units.cx, 4);
    const int bottom = Scale(r.y() + r.height(), units.cy, 8);
    return QRect(left, top, right - left, bottom - top);
}

QSize MapDialogSize(const QSize& size, DialogBaseUnits units) {
    return QSize(Scale(size.width(), units.cx, 4), Scale(size.height(), units.cy, 8));
}

}  // namespace chimeon
