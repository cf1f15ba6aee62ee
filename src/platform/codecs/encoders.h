// Picture encoders over the C imaging libraries.
#pragma once

#include "platform/output.h"

namespace tolvane::platform::codecs {

class LibEncoders : public Encoders {
 public:
  EncodeResult encode(Format format, const Image& picture, const EncodeParams& params) override;
};

}  // namespace tolvane::platform::codecs
