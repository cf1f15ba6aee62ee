// Serialises a picture to a self-contained byte array and back. The bytes
// are a tiny keyed bag with the picture under "pic", its pixels packed to
// 24 bits and compressed (picture/compression.h).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "picture/image.h"

namespace tolvane::annotation {

using Bytes = std::vector<std::uint8_t>;

class BadSnapshot : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class SnapshotCodec {
 public:
  // Replaces `result` with the serialised picture.
  void encode(Bytes& result, const Image& picture) const;
  // Rebuilds the picture; throws BadSnapshot when the bytes are not one.
  Image decode(const Bytes& bytes) const;
};

}  // namespace tolvane::annotation
