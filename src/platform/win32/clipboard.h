// The clipboard: the picture as CF_DIB and as the registered "PNG" format.
#pragma once

#include "platform/win32/win.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/output.h"

namespace tolvane::platform::win32 {

// The data is handed over whole (no delayed rendering), so it stays on the
// clipboard after the process ends.
class WinClipboard : public Clipboard {
 public:
  WinClipboard(HWND owner, Encoders& encoders) : owner_(owner), encoders_(encoders) {}
  // The DIB at once; the PNG, slow to encode, by encode().
  void setImage(const Image& picture) override;
  void encode() override;
  void clear() override;

 private:
  HWND owner_;
  Encoders& encoders_;
  std::optional<Image> unencoded_;
};

// A packed DIB: BITMAPINFOHEADER and 24-bit rows, bottom-up, each padded to 4 bytes.
std::vector<std::uint8_t> packedDib(const Image& picture);

}  // namespace tolvane::platform::win32
