#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

// Dialog units, the font-relative measure in which dialog templates place their controls: one
// horizontal unit is a quarter of the font's average character width (of "A".."Z" "a".."z",
// rounded as the original toolkit does), one vertical unit an eighth of its height.
//
// Threading: GUI thread only (font metrics).
class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font);

    int BaseX() const { return mBaseX; }
    int BaseY() const { return mBaseY; }
    int ToPixelsX(int units) const;
    int ToPixelsY(int units) const;
    QRect ToPixels(const QRect& units) const;
    QSize ToPixels(const QSize& units) const;

  private:
    int mBaseX;
    int mBaseY;
};
