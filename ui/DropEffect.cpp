#include "ui/DropEffect.h"

namespace bootlume {

DropEffect ChooseDropEffect(unsigned allowed, DropKeys keys) {
  if (keys.shift && keys.control) return kDropNone;
  if (keys.shift) return (allowed & kDropMove) ? kDropMove : kDropNone;
  if (keys.control) return (allowed & kDropCopy) ? kDropCopy : kDropNone;
  if (allowed & kDropCopy) return kDropCopy;
  if (allowed & kDropMove) return kDropMove;
  if (allowed & kDropLink) return kDropLink;
  return kDropNone;
}

}  // namespace bootlume
