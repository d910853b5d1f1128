// Key mapping: GTK's key values, buttons and modifier state as the window
// model's key codes.

#include "platform/gtk/GtkKeys.h"

#include "platform/KeyCode.h"

namespace tvrn2 {

int modifierBits(guint state)
{
    int bits = 0;
    if (state & GDK_SHIFT_MASK)
        bits |= KeyCode::Shift;
    if (state & GDK_CONTROL_MASK)
        bits |= KeyCode::Ctrl;
    if (state & GDK_MOD1_MASK)
        bits |= KeyCode::Alt;
    return bits;
}

int keyCodeOf(const GdkEventKey* event)
{
    int code = 0;
    guint key = event->keyval;
    switch (key) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
        code = KeyCode::Enter;
        break;
    case GDK_KEY_Escape:
        code = KeyCode::Escape;
        break;
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab:
        code = KeyCode::Tab;
        break;
    case GDK_KEY_BackSpace:
        code = KeyCode::Backspace;
        break;
    case GDK_KEY_Delete:
        code = KeyCode::Delete;
        break;
    case GDK_KEY_Up:
        code = KeyCode::Up;
        break;
    case GDK_KEY_Down:
        code = KeyCode::Down;
        break;
    case GDK_KEY_Left:
        code = KeyCode::Left;
        break;
    case GDK_KEY_Right:
        code = KeyCode::Right;
        break;
    default:
        if (key >= GDK_KEY_F1 && key <= GDK_KEY_F12) {
            code = KeyCode::F1 + static_cast<int>(key - GDK_KEY_F1);
        } else {
            guint32 c = gdk_keyval_to_unicode(gdk_keyval_to_upper(key));
            code = c > 0 && c < 0x80 ? static_cast<int>(c) : 0;
        }
    }
    return code ? code | modifierBits(event->state) : 0;
}

int buttonCode(guint button)
{
    switch (button) {
    case 1:
        return KeyCode::MouseLeft;
    case 2:
        return KeyCode::MouseCenter;
    case 3:
        return KeyCode::MouseRight;
    default:
        return 0;
    }
}

} // namespace tvrn2
