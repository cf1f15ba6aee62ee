#include "output/image_writer.h"

#include "texts/texts.h"

namespace tolvane::output {

using platform::Format;

namespace {

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

const char* formatName(Format f) {
  switch (f) {
    case Format::Png: return "PNG";
    case Format::Jpeg: return "JPEG";
    case Format::Bmp: return "BMP";
    case Format::Gif: return "GIF";
    case Format::Tiff: return "TIFF";
  }
  return "?";
}

}  // namespace

std::optional<Format> formatForExtension(std::string_view extension) {
  const std::string e = lower(extension);
  if (e == "png") return Format::Png;
  if (e == "jpg" || e == "jpeg") return Format::Jpeg;
  if (e == "bmp") return Format::Bmp;
  if (e == "gif") return Format::Gif;
  if (e == "tiff" || e == "tif") return Format::Tiff;
  return std::nullopt;
}

std::string saveErrorText(int number, const std::string& description) {
  return texts::saveError(number, description);
}

bool ImageWriter::fail(const platform::Failure& f) {
  pointer_.setShape(platform::PointerShape::Default);
  messageBox_.information(std::string(texts::kErrorTitle), saveErrorText(f.error, f.description));
  return false;
}

bool ImageWriter::writeFile(const Image& picture, const std::string& path, const std::string& extension,
                            int jpegQuality, int tiffDepth, int tiffCompression) {
  pointer_.setShape(platform::PointerShape::Busy);
  if (picture.isNull()) return fail({kErrorNoPicture, std::string(texts::kNothingToSave)});
  const auto format = formatForExtension(extension);
  if (!format)
    return fail({kErrorBadExtension, texts::unsupportedExtension(extension)});

  const platform::EncodeResult encoded = encoders_.encode(*format, picture, {jpegQuality, tiffDepth, tiffCompression});
  if (const auto& f = encoded.failure)
    return fail({f->error, texts::cannotEncode(formatName(*format), path, f->description)});

  if (const auto failure = writeFileAtomically(path, encoded.bytes, ops_)) return fail(*failure);
  pointer_.setShape(platform::PointerShape::Default);
  return true;
}

}  // namespace tolvane::output
