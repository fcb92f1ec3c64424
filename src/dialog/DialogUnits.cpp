#include "dialog/DialogUnits.h"

#include <QFontMetrics>
#include <QString>

namespace {

// a * b / c rounded to the nearest integer.
int MulDiv(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    return static_cast<int>((product >= 0 ? product + c / 2 : product - c / 2) / c);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    mBaseX = (width / 26 + 1) / 2;
    mBaseY = metrics.height();
    if (mBaseX <= 0) {
        mBaseX = 1;
    }
    if (mBaseY <= 0) {
        mBaseY = 1;
    }
}

int DialogUnits::ToPixelsX(int units) const {
    return MulDiv(units, mBaseX, 4);
}

int DialogUnits::ToPixelsY(int units) const {
    return MulDiv(units, mBaseY, 8);
}

QRect DialogUnits::ToPixels(const QRect& units) const {
    return QRect(ToPixelsX(units.x()), ToPixelsY(units.y()), ToPixelsX(units.width()),
                 ToPixelsY(units.height()));
}

QSize DialogUnits::ToPixels(const QSize& units) const {
    return QSize(ToPixelsX(units.width()), ToPixelsY(units.height()));
}
