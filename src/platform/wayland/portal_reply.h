// What the desktop's Screenshot portal (org.freedesktop.portal.Screenshot)
// answers, read without D-Bus or Qt: the caller passes the Response
// signal's code and "uri" result; the picture's file is read by the caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "picture/image.h"
#include "platform/system.h"

namespace tolvane::platform::wayland {

// The local file a file:// URI names (percent escapes decoded), or nothing
// for another scheme, another host, a relative path or a broken escape.
std::optional<std::string> localPathOfUri(std::string_view uri);

// The portal's answer: the file holding the desktop's picture, or why there
// is none (code 1: the user or the desktop cancelled; 2: ended otherwise).
struct PortalAnswer {
  std::string path;
  std::optional<Failure> failure;
  bool ok() const { return !failure; }
};

// What else explains an answer without a picture. The portal answers a
// stored refusal of the screenshot permission (GNOME asks once, then keeps
// the answer in the permission store) with code 2, and KDE's portal answers
// "cancelled" when it has no Pictures folder to write to.
struct PortalContext {
  // The application id the store holds "no" for ("" for programs outside a
  // sandbox); nullopt when nothing refused is stored.
  std::optional<std::string> refusedFor;
  // The Pictures folder, when it does not exist.
  std::optional<std::string> missingPictures;
};
PortalAnswer readPortalResponse(std::uint32_t code, const std::optional<std::string>& uri,
                                const PortalContext& context = {});

// The permission store's "screenshot" entry: application id to its
// permissions. The first of `ourIds` it holds "no" for.
std::optional<std::string> refusedScreenshotFor(const std::map<std::string, std::vector<std::string>>& entry,
                                                const std::vector<std::string>& ourIds);

// Removes the picture the portal wrote for this request, once read, so that
// no copy of the whole desktop stays behind: only a regular file of this
// user's (lstat: a link, a folder or another user's file stays). True when
// it was removed.
bool removePortalPicture(const std::string& path);

// The message for a desktop that neither offers wlr-screencopy nor gives the
// screen through the portal: names the desktop (XDG_CURRENT_DESKTOP, may be
// null) and what the portal did.
std::string portalFailureText(const char* desktop, std::string_view what);

// The portal pictures the whole desktop: the bounding box of `outputs` (in
// the layout's logical pixels) at the picture's own scale. The part of a
// `width`×`height` picture that shows output `index`; empty when the picture
// cannot be matched to the layout.
IRect outputInDesktopPicture(int width, int height, const std::vector<IRect>& outputs, std::size_t index);

}  // namespace tolvane::platform::wayland
