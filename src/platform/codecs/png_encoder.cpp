// PNG through libpng. libpng reports errors by longjmp, so everything that
// runs between setjmp and the library calls is plain data: no object with a
// destructor lives in the frames the jump leaves.
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <new>
#include <vector>

#include "platform/codecs/codec_util.h"

namespace tolvane::platform::codecs {

namespace {

struct PngJob {
  const Image* picture = nullptr;
  std::vector<std::uint8_t>* out = nullptr;
  std::uint8_t* row = nullptr;  // one RGB scan line
  bool outOfMemory = false;
  char message[256] = {};
  char warning[256] = {};  // the last warning often says what the error means
  std::jmp_buf jump;
};

[[noreturn]] void onError(png_structp png, png_const_charp message) {
  auto* job = static_cast<PngJob*>(png_get_error_ptr(png));
  std::strncpy(job->message, message ? message : "unknown error", sizeof job->message - 1);
  std::longjmp(job->jump, 1);
}

void onWarning(png_structp png, png_const_charp message) {
  auto* job = static_cast<PngJob*>(png_get_error_ptr(png));
  std::strncpy(job->warning, message ? message : "", sizeof job->warning - 1);
}

void onWrite(png_structp png, png_bytep data, png_size_t length) {
  auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
  bool failed = false;
  try {
    job->out->insert(job->out->end(), data, data + length);
  } catch (const std::bad_alloc&) {
    failed = true;  // leave the handler before jumping out of libpng
  }
  if (failed) {
    job->outOfMemory = true;
    png_error(png, "out of memory");
  }
}

void onFlush(png_structp) {}

// Returns true when the whole stream was written to job.out.
bool runPng(PngJob& job) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job, onError, onWarning);
  if (!png) {
    job.outOfMemory = true;
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    job.outOfMemory = true;
    return false;
  }
  if (setjmp(job.jump)) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  const Image& pic = *job.picture;
  png_set_write_fn(png, &job, onWrite, onFlush);
  // Fast settings: screenshots compress well even at level 1, and the UP
  // filter suits their long runs of identical rows.
  png_set_compression_level(png, 1);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
  png_set_compression_buffer_size(png, 256 * 1024);
  png_set_IHDR(png, info, static_cast<png_uint_32>(pic.width()), static_cast<png_uint_32>(pic.height()), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < pic.height(); ++y) {
    toRgb(pic.constScanLine(y), pic.width(), job.row);
    png_write_row(png, job.row);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

// Sizes beyond libpng's limits come back as its own error message.
EncodeResult encodePng(const Image& picture) {
  EncodeResult r;
  std::vector<std::uint8_t> row;
  try {
    row.resize(static_cast<std::size_t>(picture.width()) * 3);
    r.bytes.reserve(picture.pixelCount() / 4 + 1024);
  } catch (const std::bad_alloc&) {
    return outOfMemory("PNG");
  }
  PngJob job;
  job.picture = &picture;
  job.out = &r.bytes;
  job.row = row.data();
  if (!runPng(job)) {
    if (job.outOfMemory) return outOfMemory("PNG");
    std::string text = std::string("PNG: ") + job.message;
    if (job.warning[0]) text += std::string(" (") + job.warning + ")";
    return fail(kEncodeLibraryError, text);
  }
  r.ok = true;
  return r;
}

}  // namespace tolvane::platform::codecs
