// Picture encoders on Windows: PNG through our own writer over zlib (the
// same bytes as on Linux), BMP, JPEG, GIF and TIFF through WIC, which every
// Windows has; no imaging library needs to be built for mingw.
#pragma once

#include "platform/output.h"

namespace tolvane::platform::win32 {

// COM must be initialised on the calling thread.
class WicEncoders : public Encoders {
 public:
  EncodeResult encode(Format format, const Image& picture, const EncodeParams& params) override;
};

}  // namespace tolvane::platform::win32
