#include "platform/codecs/encoders.h"

namespace tolvane::platform::codecs {

EncodeResult LibEncoders::encode(Format, const Image&, const EncodeParams&) {
  EncodeResult r;
  r.error = 38;  // ENOSYS until the encoders land
  r.description = "encoder not available";
  return r;
}

}  // namespace tolvane::platform::codecs
