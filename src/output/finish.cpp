#include "output/finish.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "platform/files.h"
#include "texts/texts.h"

namespace tolvane::output {

std::string defaultFileName(const platform::LocalTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "Tolvane%04d-%02d-%02d_%02d.%02d.%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return text;
}

std::optional<std::string> extensionOf(std::string_view path) {
  const auto dot = path.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  // The dot is in a folder's name.
  if (std::any_of(path.begin() + static_cast<std::ptrdiff_t>(dot), path.end(), platform::files::isSeparator))
    return std::nullopt;
  return std::string(path.substr(dot + 1));
}

std::string savablePath(const std::string& path, int filter) {
  if (const auto ext = extensionOf(path); ext && formatForExtension(*ext)) return path;
  static const char* const kByFilter[] = {"PNG", "jpg", "bmp", "gif", "tiff", "PNG"};
  const char* ext = filter >= 1 && filter <= 6 ? kByFilter[filter - 1] : "PNG";
  return path + (path.ends_with('.') ? "" : ".") + ext;
}

bool Finisher::captureRegion(const IRect& region, Then then) {
  captured_.reset();
  const long long w = static_cast<long long>(region.right) - region.left;
  const long long h = static_cast<long long>(region.bottom) - region.top;
  if (w <= 0 || h <= 0 || w > kMaxCaptureSide || h > kMaxCaptureSide || w * h > kMaxCapturePixels) {
    out_.app.warn("tolvane: nothing captured: the region is " + std::to_string(w) + "x" + std::to_string(h));
    return false;
  }
  // The window's own picture, without the controls over it; what lies past
  // its edge is black. The sizes were checked above, so the sums stay in range.
  Image picture;
  try {
    picture = canvas_.image(region);
  } catch (const std::bad_alloc&) {
    out_.app.warn("tolvane: nothing captured: out of memory");
    return false;
  }
  // The clipboard is taken while the window still has the keyboard focus.
  // It keeps the picture (as PNG once encoded); a save takes it from the
  // canvas again, which stays as it is while the save dialog is up, rather
  // than holding a second copy as large as the region meanwhile.
  out_.clipboard.setImage(picture);
  picture = Image();
  captured_ = region;
  if (then == Then::Close) {
    // The picture comes from the canvas, not from the screen: a window that
    // closes anyway leaves the screen now, before the slow encoding.
    out_.app.hideWindow();
    out_.clipboard.encode();
    return true;
  }
  // The window stays for the save dialog: it shows that it is busy.
  auto& pointer = out_.pointer;
  const platform::PointerShape shape = pointer.shape();
  pointer.setShape(platform::PointerShape::Busy);
  out_.clipboard.encode();
  pointer.setShape(shape);
  return true;
}

void Finisher::offerSave() {
  if (!captured_) return;
  platform::SaveRequest request;
  request.title = std::string(texts::kSaveTitle);
  for (const auto& [name, pattern] : texts::kSaveFilters) request.filters.push_back({std::string(name), std::string(pattern)});
  request.selectedFilter = 1;
  request.fileName = defaultFileName(out_.env.now());
  request.defaultExtension = "PNG";
  request.folder = out_.env.picturesFolder();

  const auto answer = out_.saveDialog.run(request);
  if (!answer) return;  // cancelled: the capture stays on the clipboard
  std::string path = answer->path.substr(0, answer->path.find('\0'));
  if (path.empty()) return;
  path = savablePath(path, answer->filter);
  const std::string extension = extensionOf(path).value_or(path);
  out_.app.hideWindow();  // nothing left to ask: encode and write out of sight
  // The clipboard is emptied only once the file is safely written, so a
  // failed save still leaves the capture there.
  Image picture;
  try {
    picture = canvas_.image(*captured_);
  } catch (const std::bad_alloc&) {
    out_.messageBox.information(std::string(texts::kErrorTitle), texts::saveError(kErrorOutOfMemory, std::string(texts::kOutOfMemory)));
    return;
  }
  if (writer_.writeFile(picture, path, extension, 80, 24, 6)) out_.clipboard.clear();
}

}  // namespace tolvane::output
