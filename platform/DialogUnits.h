#pragma once

namespace tvrn2 {

// Dialog units to pixels. A horizontal unit is a quarter of the dialog
// font's average character width, a vertical one an eighth of its height,
// so a layout keeps its proportions with any font.
class DialogUnits {
public:
    // Average character width and line height of the dialog font, in pixels.
    DialogUnits(int charWidth, int charHeight);

    int toPixelsX(int units) const { return scale(units, m_charWidth, 4); }
    int toPixelsY(int units) const { return scale(units, m_charHeight, 8); }
    int toUnitsX(int pixels) const { return scale(pixels, 4, m_charWidth); }
    int toUnitsY(int pixels) const { return scale(pixels, 8, m_charHeight); }

    int charWidth() const { return m_charWidth; }
    int charHeight() const { return m_charHeight; }

    // The average character width from the width of the 52 letters A-Z a-z,
    // rounded as the dialog manager has always done it.
    static int averageCharWidth(int alphabetWidth) { return (alphabetWidth / 26 + 1) / 2; }

private:
    // value * numerator / denominator, rounded half away from zero.
    static int scale(int value, int numerator, int denominator);

    int m_charWidth;
    int m_charHeight;
};

} // namespace tvrn2
