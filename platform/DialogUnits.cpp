#include "platform/DialogUnits.h"

#include <algorithm>
#include <cstdlib>

namespace tvrn2 {

DialogUnits::DialogUnits(int charWidth, int charHeight)
    : m_charWidth(std::max(charWidth, 1))
    , m_charHeight(std::max(charHeight, 1))
{ }

int DialogUnits::scale(int value, int numerator, int denominator)
{
    long long product = static_cast<long long>(value) * numerator;
    long long half = denominator / 2;
    long long rounded = product >= 0 ? (product + half) / denominator : -((-product + half) / denominator);
    return static_cast<int>(rounded);
}

} // namespace tvrn2
