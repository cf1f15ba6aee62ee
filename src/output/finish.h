// Finishing a capture: the region to the clipboard, the save dialog, the file.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "output/image_writer.h"
#include "platform/image.h"
#include "session/context.h"

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
  // `settle` runs before every capture: it brings what is still being edited
  // (an open text box) into the picture.
  Finisher(session::Session& ss, std::function<void()> close, std::function<void()> settle = {})
      : ss_(ss),
        close_(std::move(close)),
        settle_(std::move(settle)),
        savePic_(ss.p.pointer, ss.p.messageBox, ss.p.encoders) {}

  // What the window does once the region is taken: it closes (copy and
  // close), or it stays for the save dialog.
  enum class Then { Close, AskToSave };

  // A double click on the window: finishes when a region exists and the last press
  // lay inside selRect.
  void doubleClick();
  // Hides the frame, handles and labels, lets the window repaint, and puts the
  // region (left, top inclusive; Right, Bottom exclusive) of the window's
  // picture on the clipboard. Outside the screen the picture is black.
  // Encoding it for the clipboard takes a while on a large region: a window
  // that closes goes off the screen first; one that stays shows it is busy.
  // Returns false when nothing could be captured; the clipboard is untouched.
  bool captureRegion(int left, int top, int Right, int Bottom, Then then = Then::AskToSave);
  // Offers the save dialog and writes the captured picture; the window goes
  // off the screen once the user has answered. The clipboard is emptied only
  // when the file was written. Without a captured picture there is nothing to
  // save and no dialog.
  void offerSave();

  const Image& captured() const { return captured_; }
  ImageWriter& savePic() { return savePic_; }

 private:
  session::Session& ss_;
  std::function<void()> close_;
  std::function<void()> settle_;
  ImageWriter savePic_;
  Image captured_;
};

}  // namespace tolvane::output
