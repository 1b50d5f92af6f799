// The only file that includes X11 headers: their macros (None, Bool, Status,
// KeyPress, ...) clash with Qt's names, so every Qt header comes first.
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include "platform/lock_keys.h"

#include <X11/XKBlib.h>

namespace {

// Indicator bit of a named LED, looked up once per display.
struct IndicatorBits {
    Display* display = nullptr;
    unsigned long caps = 0, num = 0, scroll = 0;
};

unsigned long indicatorBit(Display* display, const char* name) {
    int index = -1;
    const Atom atom = XInternAtom(display, name, False);
    if (!XkbGetNamedIndicator(display, atom, &index, nullptr, nullptr, nullptr) || index < 0) return 0;
    return 1ul << index;
}

}  // namespace

std::optional<LockKeyState> queryLockKeys() {
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return std::nullopt;

    static IndicatorBits bits;
    if (bits.display != display) {
        bits.display = display;
        bits.caps = indicatorBit(display, "Caps Lock");
        bits.num = indicatorBit(display, "Num Lock");
        bits.scroll = indicatorBit(display, "Scroll Lock");
    }
    unsigned int state = 0;
    if (XkbGetIndicatorState(display, XkbUseCoreKbd, &state) != Success) return std::nullopt;
    return LockKeyState{(state & bits.caps) != 0, (state & bits.num) != 0, (state & bits.scroll) != 0};
}
