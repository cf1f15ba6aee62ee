#include "platform/wayland/portal_reply.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

namespace tolvane::platform::wayland {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

Failure portalFailure(std::string why) { return Failure{kScreenNoWaylandRoute, std::move(why)}; }

}  // namespace

std::optional<std::string> localPathOfUri(std::string_view uri) {
  constexpr std::string_view kScheme = "file://";
  if (uri.size() < kScheme.size()) return std::nullopt;
  for (std::size_t i = 0; i < kScheme.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(uri[i])) != kScheme[i]) return std::nullopt;
  uri.remove_prefix(kScheme.size());
  // file:///path or file://localhost/path: a file on this machine only.
  if (uri.starts_with("localhost/")) uri.remove_prefix(std::string_view("localhost").size());
  if (!uri.starts_with('/')) return std::nullopt;
  std::string path;
  for (std::size_t i = 0; i < uri.size(); ++i) {
    if (uri[i] == '?' || uri[i] == '#') break;
    if (uri[i] != '%') {
      path += uri[i];
      continue;
    }
    const int hi = i + 2 < uri.size() ? hexValue(uri[i + 1]) : -1;
    const int lo = i + 2 < uri.size() ? hexValue(uri[i + 2]) : -1;
    if (hi < 0 || lo < 0) return std::nullopt;
    const char decoded = static_cast<char>(hi * 16 + lo);
    if (decoded == '\0') return std::nullopt;
    path += decoded;
    i += 2;
  }
  return path;
}

namespace {

// A shell word: the text in single quotes, each quote in it closed, escaped and reopened.
std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string refusalText(const std::string& appId) {
  return "the permission to take screenshots was refused, and the desktop keeps that answer. To allow it: "
         "gdbus call --session --dest org.freedesktop.impl.portal.PermissionStore "
         "--object-path /org/freedesktop/impl/portal/PermissionStore "
         "--method org.freedesktop.impl.portal.PermissionStore.SetPermission screenshot true screenshot " +
         quoted(appId) + " \"['yes']\"";
}

}  // namespace

PortalAnswer readPortalResponse(std::uint32_t code, const std::optional<std::string>& uri,
                                const PortalContext& context) {
  if (code == 1 || code == 2) {
    if (context.refusedFor) return {{}, portalFailure(refusalText(*context.refusedFor))};
    if (context.missingPictures)
      return {{}, portalFailure("the Screenshot portal could not save its picture: the Pictures folder " +
                                *context.missingPictures + " does not exist; create it (mkdir -p " +
                                quoted(*context.missingPictures) + ")")};
  }
  switch (code) {
    case 0:
      break;
    case 1:
      return {{}, portalFailure("the Screenshot portal's request was cancelled")};
    case 2:
      return {{}, portalFailure("the Screenshot portal ended the request without a picture")};
    default:
      return {{}, portalFailure("the Screenshot portal answered with unknown code " + std::to_string(code))};
  }
  if (!uri || uri->empty()) return {{}, portalFailure("the Screenshot portal answered without a picture")};
  auto path = localPathOfUri(*uri);
  if (!path) return {{}, portalFailure("the Screenshot portal gave a picture that is not a local file: " + *uri)};
  return {std::move(*path), std::nullopt};
}

std::optional<std::string> refusedScreenshotFor(const std::map<std::string, std::vector<std::string>>& entry,
                                                const std::vector<std::string>& ourIds) {
  for (const std::string& id : ourIds) {
    const auto it = entry.find(id);
    if (it != entry.end() && std::find(it->second.begin(), it->second.end(), "no") != it->second.end()) return id;
  }
  return std::nullopt;
}

bool removePortalPicture(const std::string& path) {
  struct stat st {};
  if (path.empty() || lstat(path.c_str(), &st) != 0) return false;
  if (!S_ISREG(st.st_mode) || st.st_uid != getuid()) return false;
  return unlink(path.c_str()) == 0;
}

std::string portalFailureText(const char* desktop, std::string_view what) {
  std::string text = "the Wayland desktop";
  if (desktop && *desktop) text += std::string(" (") + desktop + ")";
  text += " offers no wlr-screencopy, and ";
  text += what;
  return text;
}

IRect outputInDesktopPicture(int width, int height, const std::vector<IRect>& outputs, std::size_t index) {
  if (index >= outputs.size() || width <= 0 || height <= 0) return {};
  IRect box{std::numeric_limits<int>::max(), std::numeric_limits<int>::max(), std::numeric_limits<int>::min(),
            std::numeric_limits<int>::min()};
  for (const IRect& o : outputs) {
    if (o.empty()) continue;
    box = {std::min(box.left, o.left), std::min(box.top, o.top), std::max(box.right, o.right),
           std::max(box.bottom, o.bottom)};
  }
  if (box.empty() || outputs[index].empty()) return {};
  // One scale for the whole picture; a picture of another shape is not this layout's.
  const double scale = static_cast<double>(width) / box.width();
  if (std::abs(scale * box.height() - height) >= scale + 0.5) return {};
  const IRect& o = outputs[index];
  const auto at = [scale](int v) { return static_cast<int>(std::lround(v * scale)); };
  return IRect{at(o.left - box.left), at(o.top - box.top), at(o.right - box.left), at(o.bottom - box.top)}
      .intersected({0, 0, width, height});
}

}  // namespace tolvane::platform::wayland
