// Finishing a capture: the region to the clipboard, the save dialog, the file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "output/image_writer.h"
#include "picture/image.h"
#include "picture/surface.h"
#include "platform/output.h"
#include "platform/system.h"

namespace tolvane::output {

// "Tolvane" and the local time as yyyy-mm-dd_hh.nn.ss.
std::string defaultFileName(const platform::LocalTime& t);

// The text after the last "." of the file name; nullopt when the file name has
// none ("my.dir/shot" has none: folder names do not count).
std::optional<std::string> extensionOf(std::string_view path);

// The path to write: kept when its extension is one we write, else with the
// selected filter's extension appended (".PNG" for the first and the last
// filter), so that the proposed "Tolvane2026-12-06_14.05.09" saves as PNG.
std::string savablePath(const std::string& path, int filter);

// The region's largest side and area that captureRegion accepts.
inline constexpr long long kMaxCaptureSide = 65535;
inline constexpr long long kMaxCapturePixels = 1ll << 27;

class Finisher {
 public:
  // What the finish uses of the platform.
  struct Outlets {
    platform::App& app;
    platform::Pointer& pointer;
    platform::Clipboard& clipboard;
    platform::SaveDialog& saveDialog;
    platform::MessageBox& messageBox;
    platform::Encoders& encoders;
    platform::Environment& env;
  };

  Finisher(const picture::Surface& canvas, Outlets out)
      : canvas_(canvas), out_(out), writer_(out.pointer, out.messageBox, out.encoders) {}

  // What the window does once the region is taken: it closes (copy and
  // close), or it stays for the save dialog.
  enum class Then { Close, AskToSave };

  // Puts the region (right and bottom exclusive) of the window's picture on
  // the clipboard; the controls over the window are not part of that
  // picture. Outside the screen the picture is black.
  // The clipboard is taken while the window still has the keyboard. Encoding
  // the picture takes a while on a large region: a window that closes goes
  // off the screen first; one that stays shows it is busy.
  // Returns false when nothing could be captured; the clipboard is untouched.
  bool captureRegion(const IRect& region, Then then = Then::AskToSave);
  // Offers the save dialog and writes the captured picture; the window goes
  // off the screen once the user has answered. The clipboard is emptied only
  // when the file was written. Without a captured picture there is nothing to
  // save and no dialog.
  void offerSave();

  // The region last put on the clipboard; nullopt when the last capture was refused.
  const std::optional<IRect>& captured() const { return captured_; }
  ImageWriter& writer() { return writer_; }

 private:
  const picture::Surface& canvas_;
  Outlets out_;
  ImageWriter writer_;
  std::optional<IRect> captured_;
};

}  // namespace tolvane::output
