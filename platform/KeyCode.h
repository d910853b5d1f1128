#pragma once

namespace tvrn2 {

// Key codes as the window reports them in its last key code: mouse buttons,
// their releases, keyboard keys, and modifier bits on top.
namespace KeyCode {
inline constexpr int MouseLeft = 0x01;
inline constexpr int MouseRight = 0x02;
inline constexpr int MouseCenter = 0x04;
inline constexpr int MouseLeftUp = 0x81;
inline constexpr int MouseRightUp = 0x82;
inline constexpr int Backspace = 0x08;
inline constexpr int Tab = 0x09;
inline constexpr int Enter = 0x0D;
inline constexpr int Escape = 0x1B;
inline constexpr int Space = 0x20;
inline constexpr int Left = 0x25;
inline constexpr int Up = 0x26;
inline constexpr int Right = 0x27;
inline constexpr int Down = 0x28;
inline constexpr int Delete = 0x2E;
inline constexpr int F1 = 0x70; // F2..F12 follow

inline constexpr int Shift = 0x100;
inline constexpr int Ctrl = 0x200;
inline constexpr int Alt = 0x400;
inline constexpr int Modifiers = Shift | Ctrl | Alt;

constexpr int withoutModifiers(int code)
{
    return code & ~Modifiers;
}
} // namespace KeyCode

} // namespace tvrn2
