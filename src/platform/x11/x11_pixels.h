// What the screen read and the start-up window share: the root window's pixel
// layout, and shared-memory segments for moving pictures in bands.
#pragma once

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tolvane::platform::x11 {

struct PixelFormat {
  int bitsPerPixel = 0;
  int scanlinePad = 32;
  std::uint32_t red = 0, green = 0, blue = 0;
  bool msbFirst = false;
};

// The root window's pixel layout; nothing when it cannot be read (visualFailure says why).
std::optional<PixelFormat> rootFormat(xcb_connection_t* c, xcb_screen_t* screen);

// Rows per band for a shared segment of about 4 MiB: small enough that both
// sides touch few fresh pages, large enough that the requests stay few.
int bandRows(int stride, int height);

// A small shared segment, attached on both sides for as long as the object lives.
class ShmSegment {
 public:
  ShmSegment(xcb_connection_t* c, std::size_t size, bool readOnly);
  ~ShmSegment();
  ShmSegment(const ShmSegment&) = delete;
  ShmSegment& operator=(const ShmSegment&) = delete;
  bool ok() const { return addr_ != nullptr; }
  std::uint8_t* data() const { return addr_; }
  std::size_t size() const { return size_; }
  xcb_shm_seg_t id() const { return seg_; }

 private:
  xcb_connection_t* c_;
  std::size_t size_;
  xcb_shm_seg_t seg_ = 0;
  std::uint8_t* addr_ = nullptr;
};

}  // namespace tolvane::platform::x11
