#include "platform/qt/x11_windows.h"

#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/qt/qt_x11.h"

namespace tolvane::platform::qt {

namespace {

// The root's children, bottom to top.
std::vector<xcb_window_t> stackOfRoot(xcb_connection_t* c) {
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  std::vector<xcb_window_t> out;
  auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
  if (!tree) return out;
  const xcb_window_t* kids = xcb_query_tree_children(tree);
  out.assign(kids, kids + xcb_query_tree_children_length(tree));
  free(tree);
  return out;
}

// The child of the root that holds `w`: the window manager's frame around
// it, or `w` itself when nothing manages it.
xcb_window_t topLevelOf(xcb_connection_t* c, xcb_window_t w) {
  for (int depth = 0; depth < 16; ++depth) {
    auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr);
    if (!tree) return XCB_NONE;
    const xcb_window_t parent = tree->parent, root = tree->root;
    free(tree);
    if (parent == root || parent == XCB_NONE) return w;
    w = parent;
  }
  return XCB_NONE;
}

void restack(xcb_connection_t* c, xcb_window_t self, xcb_window_t sibling, std::uint32_t mode) {
  const std::uint32_t values[] = {sibling, mode};
  xcb_configure_window(c, self, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
  xcb_flush(c);
}

}  // namespace

bool stayAboveOthers(xcb_connection_t* c, std::uint32_t self) {
  const xcb_setup_t* setup = xcb_get_setup(c);
  const std::vector<xcb_window_t> kids = stackOfRoot(c);
  const auto at = std::find(kids.begin(), kids.end(), self);
  if (at == kids.end()) return false;
  // Above us, bottom to top: the topmost shown ordinary window of another client.
  std::vector<xcb_get_window_attributes_cookie_t> cookies;
  for (auto it = at + 1; it != kids.end(); ++it) cookies.push_back(xcb_get_window_attributes(c, *it));
  xcb_window_t cover = XCB_NONE;
  for (std::size_t i = 0; i < cookies.size(); ++i) {
    auto* a = xcb_get_window_attributes_reply(c, cookies[i], nullptr);
    const xcb_window_t w = *(at + 1 + static_cast<std::ptrdiff_t>(i));
    const bool ours = (w & ~setup->resource_id_mask) == setup->resource_id_base;
    if (a && a->map_state == XCB_MAP_STATE_VIEWABLE && !a->override_redirect && !ours) cover = w;
    free(a);
  }
  if (cover == XCB_NONE) return false;
  restack(c, self, cover, XCB_STACK_MODE_ABOVE);
  return true;
}

bool stayUnderDialog(xcb_connection_t* c, std::uint32_t self, std::uint32_t dialog, int attempt) {
  const xcb_window_t frame = topLevelOf(c, dialog);
  const std::vector<xcb_window_t> kids = stackOfRoot(c);
  const auto at = std::find(kids.begin(), kids.end(), self);
  const auto frameAt = std::find(kids.begin(), kids.end(), frame);
  if (at == kids.end() || frameAt == kids.end() || frameAt > at) return false;
  auto* a = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, frame), nullptr);
  const bool shown = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
  free(a);
  if (!shown) return false;
  if (attempt > 1) {
    const std::uint32_t bottom = XCB_STACK_MODE_BELOW;
    xcb_configure_window(c, self, XCB_CONFIG_WINDOW_STACK_MODE, &bottom);
    xcb_flush(c);
    return true;
  }
  restack(c, self, frame, XCB_STACK_MODE_BELOW);
  return true;
}

bool compositedDesktop() {
  xcb_connection_t* c = x11Connection();
  if (!c) return false;
  // A compositing manager owns _NET_WM_CM_S<screen>; any screen of the display counts.
  const int screens = xcb_setup_roots_length(xcb_get_setup(c));
  bool owned = false;
  for (int i = 0; i < screens && !owned; ++i) {
    const std::string name = "_NET_WM_CM_S" + std::to_string(i);
    auto* atom = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 1, static_cast<std::uint16_t>(name.size()), name.c_str()), nullptr);
    const xcb_atom_t selection = atom ? atom->atom : XCB_NONE;
    free(atom);
    if (selection == XCB_NONE) continue;
    auto* owner = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    owned = owner && owner->owner != XCB_NONE;
    free(owner);
  }
  return owned;
}

void keepComposited(const QWidget& window) {
  xcb_connection_t* c = x11Connection();
  if (!c) return;
  constexpr char kName[] = "_NET_WM_BYPASS_COMPOSITOR";
  auto* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof kName - 1, kName), nullptr);
  if (!atom) return;
  const std::uint32_t keep = 2;  // the compositor is asked not to be bypassed
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window.winId()), atom->atom,
                      XCB_ATOM_CARDINAL, 32, 1, &keep);
  free(atom);
}

}  // namespace tolvane::platform::qt
