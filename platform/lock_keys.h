#pragma once

#include <optional>

struct LockKeyState {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// The lock-key state of the keyboard, where the window system reports it (X11);
// nothing on other platforms, including the offscreen one.
std::optional<LockKeyState> queryLockKeys();
