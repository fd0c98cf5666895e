// What the message box makes of the events it is handed, apart from the box itself so
// that the rules can be tested with events made by hand.
#pragma once

#include <SDL.h>

#include <bitset>
#include <cstdint>
#include <functional>

namespace media {

// Only the box's own window counts. Enter, keypad Enter, Space and Esc answer it on a
// fresh press; a key that was already held when the box opened (the Esc that quit the
// game, still down and auto-repeating) answers only once it has been released and
// pressed again, and an auto-repeat never does. The OK button answers to a press and a
// release of the left button on it, so a click that began in the game window does not.
// The window manager's close answers it too.
class MessageBoxInput {
  public:
    MessageBoxInput(std::uint32_t windowId, SDL_Rect okButton) : window_(windowId), ok_(okButton) {}

    // A key found held as the box opens.
    void held(SDL_Scancode key) {
        if (key > SDL_SCANCODE_UNKNOWN && key < SDL_NUM_SCANCODES) held_.set(key);
    }
    bool isHeld(SDL_Scancode key) const { return key > 0 && key < SDL_NUM_SCANCODES && held_.test(key); }
    // Forgets the held keys that `down` says are up by now (their release went to
    // another window).
    void keepOnlyDown(const std::function<bool(SDL_Scancode)>& down);

    // True when the event closes the box.
    bool answers(const SDL_Event& e);

  private:
    std::uint32_t window_;
    SDL_Rect ok_;
    std::bitset<SDL_NUM_SCANCODES> held_;
    bool pressedOnOk_ = false;
};

} // namespace media
