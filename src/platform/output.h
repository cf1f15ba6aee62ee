// Clipboard, save dialog, message box and picture encoders.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "picture/image.h"
#include "platform/failure.h"

namespace tolvane::platform {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // Replaces the clipboard's contents with the picture. Callers do it while
  // the window still has the keyboard: some compositors (Mutter, KWin) give
  // the clipboard only to the client that has the focus. The slow part,
  // encoding the picture, may be left for encode().
  virtual void setImage(const Image& picture) = 0;
  // Makes what setImage left for later, once the caller has taken the window
  // out of sight or shown that it is busy.
  virtual void encode() {}
  virtual void clear() = 0;  // empties it, if we still own it
};

struct SaveFilter {
  std::string description, pattern;
};

struct SaveRequest {
  std::string title;
  std::vector<SaveFilter> filters;
  int selectedFilter = 1;  // 1-based
  std::string fileName;
  std::string defaultExtension;
  std::string folder;
};

struct SaveAnswer {
  std::string path;
  int filter = 1;  // 1-based index of the filter selected when the user confirmed
};

class SaveDialog {
 public:
  virtual ~SaveDialog() = default;
  virtual std::optional<SaveAnswer> run(const SaveRequest& request) = 0;  // nullopt: cancelled
};

class MessageBox {
 public:
  virtual ~MessageBox() = default;
  virtual void information(const std::string& title, const std::string& text) = 0;
};

enum class Format { Png, Jpeg, Bmp, Gif, Tiff };

struct EncodeParams {
  int jpegQuality = 80;
  int tiffDepth = 24;
  int tiffCompression = 6;  // 6: none
};

struct EncodeResult {
  std::vector<std::uint8_t> bytes;
  std::optional<Failure> failure;  // set when nothing was encoded
  bool ok() const { return !failure; }
};

class Encoders {
 public:
  virtual ~Encoders() = default;
  virtual EncodeResult encode(Format format, const Image& picture, const EncodeParams& params) = 0;
};

}  // namespace tolvane::platform
