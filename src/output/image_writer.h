// Writing a picture to a file in the format its extension names.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "output/atomic_file.h"
#include "picture/image.h"
#include "platform/output.h"
#include "platform/system.h"

namespace tolvane::output {

// Error numbers in the save error message, besides the system's errno values
// and the encoders' own codes (platform/codecs/encoders.h).
inline constexpr int kErrorBadExtension = 9;  // no format for the extension
inline constexpr int kErrorNoPicture = 1000;  // nothing was captured
inline constexpr int kErrorOutOfMemory = 7;

// png; jpg and jpeg; bmp; gif; tiff and tif. Any case.
std::optional<platform::Format> formatForExtension(std::string_view extension);

// The text of the save error message box.
std::string saveErrorText(int number, const std::string& description);

class ImageWriter {
 public:
  ImageWriter(platform::Pointer& pointer, platform::MessageBox& messageBox, platform::Encoders& encoders)
      : pointer_(pointer), messageBox_(messageBox), encoders_(encoders) {}

  // Encodes the picture by `extension` and writes it to `path` in one piece.
  // Shows the busy pointer meanwhile and the default pointer after; reports a
  // failure in the "错误" message box. Returns whether the file was written.
  bool writeFile(const Image& picture, const std::string& path, const std::string& extension, int jpegQuality,
                 int tiffDepth, int tiffCompression);

  FileOps& fileOps() { return ops_; }

 private:
  bool fail(const platform::Failure& f);

  platform::Pointer& pointer_;
  platform::MessageBox& messageBox_;
  platform::Encoders& encoders_;
  FileOps ops_ = FileOps::system();
};

}  // namespace tolvane::output
