#include "platform/x11/x11_pixels.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdlib>

#include "platform/x11/x11_screen.h"

namespace tolvane::platform::x11 {

// The root window's pixel layout; nothing when it cannot be read (visualFailure says why).
std::optional<PixelFormat> rootFormat(xcb_connection_t* c, xcb_screen_t* screen) {
  const RootVisual v = rootVisual(c, screen);
  if (visualFailure(v)) return std::nullopt;
  const xcb_setup_t* setup = xcb_get_setup(c);
  PixelFormat f;
  f.msbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
  f.bitsPerPixel = v.bitsPerPixel;
  for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it))
    if (it.data->depth == screen->root_depth) f.scanlinePad = it.data->scanline_pad;
  f.red = v.red;
  f.green = v.green;
  f.blue = v.blue;
  return f;
}

// Rows per band for a shared segment of about 4 MiB: small enough that both
// sides touch few fresh pages, large enough that the requests stay few.
int bandRows(int stride, int height) { return std::clamp((4 << 20) / std::max(stride, 1), 1, std::max(height, 1)); }

ShmSegment::ShmSegment(xcb_connection_t* c, std::size_t size, bool readOnly) : c_(c), size_(size) {
  const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_shm_id);
  if (!ext || !ext->present) return;
  const int id = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
  if (id < 0) return;
  void* addr = shmat(id, nullptr, 0);
  if (addr == reinterpret_cast<void*>(-1)) {
    shmctl(id, IPC_RMID, nullptr);
    return;
  }
  seg_ = xcb_generate_id(c);
  xcb_generic_error_t* err =
      xcb_request_check(c, xcb_shm_attach_checked(c, seg_, static_cast<std::uint32_t>(id), readOnly ? 1 : 0));
  shmctl(id, IPC_RMID, nullptr);  // gone once both sides let go
  if (err) {
    free(err);
    shmdt(addr);
    return;
  }
  addr_ = static_cast<std::uint8_t*>(addr);
}

ShmSegment::~ShmSegment() {
  if (!addr_) return;
  xcb_shm_detach(c_, seg_);
  xcb_flush(c_);
  shmdt(addr_);
}

}  // namespace tolvane::platform::x11
