// Picture encoders over the C imaging libraries.
#pragma once

#include "platform/output.h"

namespace tolvane::platform::codecs {

// Error codes of a failed encode. Failures of the allocator report ENOMEM.
inline constexpr int kEncodeEmptyPicture = 1001;  // no pixels to write
inline constexpr int kEncodeTooLarge = 1002;      // beyond what the format can hold
inline constexpr int kEncodeLibraryError = 1003;  // the library refused; its message is in the description
inline constexpr int kEncodeBadParameter = 1004;  // a setting the encoder does not offer

// PNG: 8-bit RGB, our own writer over zlib at level 4 with the UP filter. JPEG: libjpeg at the given quality.
// BMP: 24-bit bottom-up. GIF: 256 colours through libimagequant, then giflib.
// TIFF: 8-bit RGB, uncompressed (compression 6) or LZW (2), libtiff.
class LibEncoders : public Encoders {
 public:
  EncodeResult encode(Format format, const Image& picture, const EncodeParams& params) override;
};

}  // namespace tolvane::platform::codecs
