#include "platform/win32/clipboard.h"

#include <cstring>

namespace tolvane::platform::win32 {

namespace {

HGLOBAL globalCopy(const std::vector<std::uint8_t>& bytes) {
  HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!g) return nullptr;
  std::memcpy(GlobalLock(g), bytes.data(), bytes.size());
  GlobalUnlock(g);
  return g;
}

void put(UINT format, const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty()) return;
  HGLOBAL g = globalCopy(bytes);
  if (g && !SetClipboardData(format, g)) GlobalFree(g);
}

}  // namespace

std::vector<std::uint8_t> packedDib(const Image& picture) {
  const int w = picture.width(), h = picture.height();
  const std::size_t stride = (static_cast<std::size_t>(w) * 3 + 3) / 4 * 4;
  std::vector<std::uint8_t> out(sizeof(BITMAPINFOHEADER) + stride * h, 0);
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = w;
  header.biHeight = h;  // positive: bottom-up
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(stride * h);
  std::memcpy(out.data(), &header, sizeof header);
  std::uint8_t* row = out.data() + sizeof header;
  for (int y = h - 1; y >= 0; --y, row += stride) {
    const Argb* src = picture.constScanLine(y);
    for (int x = 0; x < w; ++x) {
      row[3 * x] = static_cast<std::uint8_t>(src[x]);
      row[3 * x + 1] = static_cast<std::uint8_t>(src[x] >> 8);
      row[3 * x + 2] = static_cast<std::uint8_t>(src[x] >> 16);
    }
  }
  return out;
}

void WinClipboard::setImage(const Image& picture) {
  const std::vector<std::uint8_t> dib = packedDib(picture);
  unencoded_.reset();
  if (!OpenClipboard(owner_)) return;
  EmptyClipboard();
  put(CF_DIB, dib);
  CloseClipboard();
  unencoded_ = picture;
}

// The PNG joins the DIB, unless another program took the clipboard meanwhile.
void WinClipboard::encode() {
  if (!unencoded_) return;
  const EncodeResult png = encoders_.encode(Format::Png, *unencoded_, {});
  unencoded_.reset();
  if (!png.ok() || GetClipboardOwner() != owner_ || !OpenClipboard(owner_)) return;
  put(RegisterClipboardFormatW(L"PNG"), png.bytes);
  CloseClipboard();
}

void WinClipboard::clear() {
  if (GetClipboardOwner() != owner_ || !OpenClipboard(owner_)) return;
  EmptyClipboard();
  CloseClipboard();
}

}  // namespace tolvane::platform::win32
