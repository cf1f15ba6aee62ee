// JPEG through libjpeg. Its error manager jumps back with longjmp; the frames
// between setjmp and the library hold plain data only.
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <new>
#include <vector>

#include "platform/codecs/codec_util.h"

namespace tolvane::platform::codecs {

namespace {

struct JpegJob {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX] = {};
  const Image* picture = nullptr;
  int quality = 80;
  std::uint8_t* row = nullptr;
  unsigned char* out = nullptr;  // malloc'd by the memory destination
  unsigned long outSize = 0;
};

[[noreturn]] void onError(j_common_ptr cinfo) {
  auto* job = static_cast<JpegJob*>(cinfo->client_data);
  (*cinfo->err->format_message)(cinfo, job->message);
  std::longjmp(job->jump, 1);
}

void onMessage(j_common_ptr) {}  // warnings and traces stay quiet

bool runJpeg(JpegJob& job) {
  job.cinfo.err = jpeg_std_error(&job.err);
  job.err.error_exit = onError;
  job.err.output_message = onMessage;
  job.cinfo.client_data = &job;
  if (setjmp(job.jump)) {
    jpeg_destroy_compress(&job.cinfo);
    return false;
  }
  jpeg_create_compress(&job.cinfo);
  jpeg_mem_dest(&job.cinfo, &job.out, &job.outSize);
  const Image& pic = *job.picture;
  job.cinfo.image_width = static_cast<JDIMENSION>(pic.width());
  job.cinfo.image_height = static_cast<JDIMENSION>(pic.height());
  job.cinfo.input_components = 3;
  job.cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&job.cinfo);
  jpeg_set_quality(&job.cinfo, job.quality, TRUE);
  jpeg_start_compress(&job.cinfo, TRUE);
  JSAMPROW rows[1] = {job.row};
  while (job.cinfo.next_scanline < job.cinfo.image_height) {
    toRgb(pic.constScanLine(static_cast<int>(job.cinfo.next_scanline)), pic.width(), job.row);
    jpeg_write_scanlines(&job.cinfo, rows, 1);
  }
  jpeg_finish_compress(&job.cinfo);
  jpeg_destroy_compress(&job.cinfo);
  return true;
}

}  // namespace

// Sides beyond libjpeg's limit (65500) come back as its own error message.
EncodeResult encodeJpeg(const Image& picture, int quality) {
  if (quality < 0 || quality > 100)
    return fail(kEncodeBadParameter, "JPEG: quality " + std::to_string(quality) + " is outside 0 to 100");
  std::vector<std::uint8_t> row;
  try {
    row.resize(static_cast<std::size_t>(picture.width()) * 3);
  } catch (const std::bad_alloc&) {
    return outOfMemory("JPEG");
  }
  JpegJob job;
  job.picture = &picture;
  job.quality = std::max(quality, 1);  // libjpeg's scale starts at 1
  job.row = row.data();
  const bool ok = runJpeg(job);
  EncodeResult r;
  if (ok) {
    try {
      r.bytes.assign(job.out, job.out + job.outSize);
    } catch (const std::bad_alloc&) {
      r = outOfMemory("JPEG");
    }
  } else {
    r = fail(kEncodeLibraryError, std::string("JPEG: ") + job.message);
  }
  std::free(job.out);
  return r;
}

}  // namespace tolvane::platform::codecs
