// The effect a drop has, from what the drag source allows and the keys held.
#pragma once

namespace bootlume {

enum DropEffect : unsigned { kDropNone = 0, kDropCopy = 1, kDropMove = 2, kDropLink = 4 };

struct DropKeys {
  bool shift = false;
  bool control = false;
};

// No keys: copy, else move, else link, whichever is allowed first. Shift:
// move if allowed. Ctrl: copy if allowed. Ctrl and Shift: none.
DropEffect ChooseDropEffect(unsigned allowedEffects, DropKeys keys);

}  // namespace bootlume
