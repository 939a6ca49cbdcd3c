// The OK and Cancel buttons' 16 x 16 PNG images (resources 19002 and 19001),
// built into the library for views that have no resource section.
#pragma once

#include <cstddef>

namespace vf::ui {

struct EmbeddedImage {
  const unsigned char* data;
  size_t size;
};

EmbeddedImage OkButtonImage();      // green check mark
EmbeddedImage CancelButtonImage();  // red cross

}  // namespace vf::ui
