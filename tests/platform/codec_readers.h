// Reading the encoders' output back: each format with its own library, and
// independent command-line tools where they are installed.
#pragma once

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdio>  // before jpeglib.h
#include <jpeglib.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "output/temp_dir.h"
#include "platform/codecs/encoders.h"

namespace tolvane::codectest {


using platform::EncodeParams;
using platform::EncodeResult;
using platform::Format;
using platform::codecs::LibEncoders;

// Every pixel different and no structure to hide behind: an odd width also
// exercises BMP's row padding.
inline Image noisePicture(int w, int h, unsigned start = 7) {
  Image img(w, h);
  std::mt19937 rng(start);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.setPixel(x, y, 0xFF000000u | (rng() & 0xFFFFFFu));
  return img;
}

// Smooth colours, what JPEG and palette reduction are made for.
inline Image gradientPicture(int w, int h) {
  Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const auto r = static_cast<Argb>(x * 255 / std::max(w - 1, 1));
      const auto g = static_cast<Argb>(y * 255 / std::max(h - 1, 1));
      const auto b = static_cast<Argb>((x + y) * 127 / std::max(w + h - 2, 1));
      img.setPixel(x, y, 0xFF000000u | (r << 16) | (g << 8) | b);
    }
  return img;
}

inline int channel(Argb p, int shift) { return static_cast<int>((p >> shift) & 0xFF); }

// Largest and mean per-channel difference between two pictures of one size.
struct Diff {
  int max = 0;
  double mean = 0;
};
inline Diff diff(const Image& a, const Image& b) {
  Diff d;
  double sum = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      for (int s : {0, 8, 16}) {
        const int e = std::abs(channel(a.pixel(x, y), s) - channel(b.pixel(x, y), s));
        d.max = std::max(d.max, e);
        sum += e;
      }
  d.mean = sum / (3.0 * static_cast<double>(a.pixelCount()));
  return d;
}

inline Argb fromRgb(const std::uint8_t* p) {
  return 0xFF000000u | (static_cast<Argb>(p[0]) << 16) | (static_cast<Argb>(p[1]) << 8) | p[2];
}

// --- readers ---

struct PngInfo {
  Image picture;
  int bitDepth = 0, colorType = -1;
};
inline PngInfo readPng(const std::vector<std::uint8_t>& bytes) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  PngInfo out;
  if (!png_image_begin_read_from_memory(&img, bytes.data(), bytes.size())) return out;
  // IHDR fields straight from the stream: bit depth at 24, colour type at 25.
  out.bitDepth = bytes[24];
  out.colorType = bytes[25];
  img.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, rgb.data(), 0, nullptr)) return out;
  Image pic(static_cast<int>(img.width), static_cast<int>(img.height));
  for (int y = 0; y < pic.height(); ++y)
    for (int x = 0; x < pic.width(); ++x)
      pic.setPixel(x, y, fromRgb(&rgb[(static_cast<std::size_t>(y) * pic.width() + x) * 3]));
  out.picture = pic;
  return out;
}

struct JpegInfo {
  Image picture;
  int components = 0;
  int firstLumaQuant = 0;  // DC entry of the luminance quantisation table
};
inline JpegInfo readJpeg(const std::vector<std::uint8_t>& bytes) {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, bytes.data(), bytes.size());
  jpeg_read_header(&cinfo, TRUE);
  JpegInfo out;
  out.components = cinfo.num_components;
  out.firstLumaQuant = cinfo.quant_tbl_ptrs[0] ? cinfo.quant_tbl_ptrs[0]->quantval[0] : 0;
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  Image pic(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height));
  std::vector<std::uint8_t> row(cinfo.output_width * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    const int y = static_cast<int>(cinfo.output_scanline);
    JSAMPROW rows[1] = {row.data()};
    jpeg_read_scanlines(&cinfo, rows, 1);
    for (int x = 0; x < pic.width(); ++x) pic.setPixel(x, y, fromRgb(&row[static_cast<std::size_t>(x) * 3]));
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  out.picture = pic;
  return out;
}

inline std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
inline std::uint16_t le16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

struct GifReadState {
  const std::vector<std::uint8_t>* bytes;
  std::size_t pos = 0;
};
inline int gifRead(GifFileType* gif, GifByteType* buf, int n) {
  auto* st = static_cast<GifReadState*>(gif->UserData);
  const auto left = st->bytes->size() - st->pos;
  const auto take = std::min(static_cast<std::size_t>(n), left);
  std::memcpy(buf, st->bytes->data() + st->pos, take);
  st->pos += take;
  return static_cast<int>(take);
}
struct GifInfo {
  Image picture;
  int colors = 0;
  std::string version;
};
inline GifInfo readGif(const std::vector<std::uint8_t>& bytes) {
  GifInfo out;
  out.version.assign(bytes.begin(), bytes.begin() + 6);
  GifReadState st{&bytes};
  int err = 0;
  GifFileType* gif = DGifOpen(&st, gifRead, &err);
  if (!gif) return out;
  if (DGifSlurp(gif) == GIF_OK && gif->ImageCount == 1) {
    const ColorMapObject* map = gif->SColorMap ? gif->SColorMap : gif->SavedImages[0].ImageDesc.ColorMap;
    out.colors = map->ColorCount;
    Image pic(gif->SWidth, gif->SHeight);
    const GifByteType* px = gif->SavedImages[0].RasterBits;
    for (int y = 0; y < pic.height(); ++y)
      for (int x = 0; x < pic.width(); ++x) {
        const GifColorType c = map->Colors[px[static_cast<std::size_t>(y) * pic.width() + x]];
        pic.setPixel(x, y, 0xFF000000u | (static_cast<Argb>(c.Red) << 16) | (static_cast<Argb>(c.Green) << 8) | c.Blue);
      }
    out.picture = pic;
  }
  DGifCloseFile(gif, &err);
  return out;
}

struct TiffInfo {
  Image picture;
  std::uint16_t compression = 0, bitsPerSample = 0, samplesPerPixel = 0, photometric = 0;
};
inline TiffInfo readTiff(const std::string& path) {
  TiffInfo out;
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif) return out;
  std::uint32_t w = 0, h = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
  TIFFGetField(tif, TIFFTAG_COMPRESSION, &out.compression);
  TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &out.bitsPerSample);
  TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &out.samplesPerPixel);
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &out.photometric);
  Image pic(static_cast<int>(w), static_cast<int>(h));
  std::vector<std::uint8_t> row(static_cast<std::size_t>(TIFFScanlineSize(tif)));
  for (std::uint32_t y = 0; y < h; ++y) {
    if (TIFFReadScanline(tif, row.data(), y, 0) != 1) {
      TIFFClose(tif);
      return out;
    }
    for (std::uint32_t x = 0; x < w; ++x)
      pic.setPixel(static_cast<int>(x), static_cast<int>(y), fromRgb(&row[static_cast<std::size_t>(x) * 3]));
  }
  TIFFClose(tif);
  out.picture = pic;
  return out;
}

// Output of a shell command, or nullopt when the tool is missing.
inline std::optional<std::string> run(const std::string& tool, const std::string& args) {
  if (std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) != 0) return std::nullopt;
  std::string out;
  FILE* p = ::popen((tool + " " + args + " 2>&1").c_str(), "r");
  if (!p) return std::nullopt;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  ::pclose(p);
  return out;
}

inline EncodeResult encode(Format f, const Image& pic, EncodeParams params = {}) {
  LibEncoders enc;
  return enc.encode(f, pic, params);
}

}  // namespace tolvane::codectest
