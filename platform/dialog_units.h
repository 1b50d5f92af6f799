#pragma once

#include <QFont>
#include <QRect>

// Converts dialog units to pixels for a dialog font: a horizontal unit is a
// quarter of the font's average character width, a vertical unit an eighth of
// its height, so dialog layouts given in these units keep their proportions.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int x(int units) const { return (units * baseX_ + 2) / 4; }
    int y(int units) const { return (units * baseY_ + 4) / 8; }
    QRect rect(int left, int top, int width, int height) const {
        return {x(left), y(top), x(width), y(height)};
    }
    QSize size(int width, int height) const { return {x(width), y(height)}; }

private:
    int baseX_;
    int baseY_;
};
