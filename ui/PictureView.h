// The picture view's contract as the handlers use it: it keeps a copy of the
// bytes written into it and shows them as a picture when it can.
#pragma once

#include "platform/ByteBuffer.h"

namespace bootlume {

class PictureView {
 public:
  virtual ~PictureView() = default;

  // Stores a copy of `bytes` and shows the picture they hold; empty clears.
  virtual void SetPicture(ByteView bytes) = 0;

  // A new copy of the bytes last written, whether or not they decoded.
  virtual ByteBuffer Picture() const = 0;
};

}  // namespace bootlume
