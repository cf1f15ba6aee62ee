// Window queries on the private server: top-level windows, grabs, focus,
// the window manager, geometry; and windows and holds of other clients.
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <cstring>

#include "harness.h"
#include "harness_x11.h"

namespace tolvane::e2e {
namespace {

std::string textProperty(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type) {
  auto* r = xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, type, 0, 1024), nullptr);
  std::string out;
  if (r && r->type == type)
    out.assign(static_cast<const char*>(xcb_get_property_value(r)),
               static_cast<std::size_t>(xcb_get_property_value_length(r)));
  free(r);
  return out;
}

}  // namespace

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
  auto* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t a = r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
  free(r);
  return a;
}

std::vector<TopLevel> topLevelsOn(xcb_connection_t* c) {
  std::vector<TopLevel> out;
  xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, s->root), nullptr);
  if (!tree) return out;
  const xcb_atom_t netName = atom(c, "_NET_WM_NAME"), utf8 = atom(c, "UTF8_STRING"), netPid = atom(c, "_NET_WM_PID");
  const xcb_window_t* kids = xcb_query_tree_children(tree);
  for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
    TopLevel t;
    t.id = kids[i];
    if (auto* a = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, kids[i]), nullptr)) {
      t.viewable = a->map_state == XCB_MAP_STATE_VIEWABLE;
      t.overrideRedirect = a->override_redirect;
      free(a);
    }
    t.name = textProperty(c, kids[i], netName, utf8);
    if (t.name.empty()) t.name = textProperty(c, kids[i], XCB_ATOM_WM_NAME, XCB_ATOM_STRING);
    const std::string pid = textProperty(c, kids[i], netPid, XCB_ATOM_CARDINAL);
    if (pid.size() == 4) std::memcpy(&t.pid, pid.data(), 4);
    out.push_back(std::move(t));
  }
  free(tree);
  return out;
}

namespace {

bool pointerGrabbedOn(xcb_connection_t* c) {
  xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  auto* r = xcb_grab_pointer_reply(c,
                                   xcb_grab_pointer(c, 0, s->root, 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                                                    XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
                                   nullptr);
  const bool ours = r && r->status == XCB_GRAB_STATUS_SUCCESS;
  const bool theirs = r && r->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
  free(r);
  if (ours) {
    xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
    xcb_flush(c);
  }
  return theirs;
}

bool keyboardGrabbedOn(xcb_connection_t* c) {
  xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  auto* r = xcb_grab_keyboard_reply(
      c, xcb_grab_keyboard(c, 0, s->root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC), nullptr);
  const bool ours = r && r->status == XCB_GRAB_STATUS_SUCCESS;
  const bool theirs = r && r->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
  free(r);
  if (ours) {
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    xcb_flush(c);
  }
  return theirs;
}

}  // namespace

std::vector<TopLevel> XServer::topLevels() const {
  return withConnection(display_, std::vector<TopLevel>{}, topLevelsOn);
}

bool XServer::pointerGrabbed() const { return withConnection(display_, false, pointerGrabbedOn); }

bool XServer::keyboardGrabbed() const { return withConnection(display_, false, keyboardGrabbedOn); }

ServerHold::ServerHold(const XServer& x) : c_(xcb_connect(x.display().c_str(), nullptr)) {
  if (!ok()) return;
  xcb_grab_server(c_);
  free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
}

ServerHold::~ServerHold() {
  if (ok()) {
    xcb_ungrab_server(c_);
    free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
  }
  xcb_disconnect(c_);
}

bool ServerHold::ok() const { return c_ && !xcb_connection_has_error(c_); }
std::vector<TopLevel> ServerHold::topLevels() { return topLevelsOn(c_); }
bool ServerHold::pointerGrabbed() { return pointerGrabbedOn(c_); }

void ServerHold::move(int x, int y) {
  xcb_test_fake_input(c_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, XCB_NONE, static_cast<int16_t>(x),
                      static_cast<int16_t>(y), 0);
  free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
}

void ServerHold::press(int button) {
  xcb_test_fake_input(c_, XCB_BUTTON_PRESS, static_cast<uint8_t>(button), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
}

void ServerHold::release(int button) {
  xcb_test_fake_input(c_, XCB_BUTTON_RELEASE, static_cast<uint8_t>(button), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
}

bool XServer::waitForWindow(const std::string& title, Millis timeout) const {
  return waitUntil(
      [&] {
        return withConnection(display_, false, [&](xcb_connection_t* c) {
          xcb_window_t window = XCB_NONE;
          for (const auto& w : topLevelsOn(c))
            if (w.viewable && w.name == title) window = w.id;
          if (window == XCB_NONE) return false;
          auto* focus = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
          xcb_window_t f = focus ? focus->focus : XCB_NONE;
          free(focus);
          // The focus may sit on a child of the window.
          for (int depth = 0; f != XCB_NONE && f != XCB_INPUT_FOCUS_POINTER_ROOT && depth < 64; ++depth) {
            if (f == window) return true;
            auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, f), nullptr);
            if (!tree) return false;
            f = tree->parent == tree->root ? XCB_NONE : tree->parent;
            free(tree);
          }
          return false;
        });
      },
      timeout);
}

bool XServer::windowManagerRunning() const {
  return withConnection(display_, false, [](xcb_connection_t* c) {
    const xcb_atom_t check = atom(c, "_NET_SUPPORTING_WM_CHECK");
    const auto named = [&](xcb_window_t w) {
      auto* r = xcb_get_property_reply(c, xcb_get_property(c, 0, w, check, XCB_ATOM_WINDOW, 0, 1), nullptr);
      xcb_window_t out = XCB_NONE;
      if (r && r->type == XCB_ATOM_WINDOW && xcb_get_property_value_length(r) == 4)
        std::memcpy(&out, xcb_get_property_value(r), 4);
      free(r);
      return out;
    };
    const xcb_window_t w = named(xcb_setup_roots_iterator(xcb_get_setup(c)).data->root);
    return w != XCB_NONE && named(w) == w;
  });
}

IRect XServer::geometry(std::uint32_t window) const {
  return withConnection(display_, IRect{}, [window](xcb_connection_t* c) {
    IRect out;
    auto* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    if (!g) return out;
    xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    auto* t = xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window, s->root, 0, 0), nullptr);
    if (t) out = {t->dst_x, t->dst_y, t->dst_x + g->width, t->dst_y + g->height};
    free(t);
    free(g);
    return out;
  });
}

Cover::Cover(const XServer& x, const IRect& where, Argb colour, Kind kind)
    : c_(xcb_connect(x.display().c_str(), nullptr)) {
  if (!ok()) return;
  xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
  window_ = xcb_generate_id(c_);
  // Background pixel (depth 24), override-redirect.
  const std::uint32_t values[] = {colour & 0xFFFFFFu, kind == Kind::Popup ? 1u : 0u};
  xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, s->root, static_cast<int16_t>(where.left),
                    static_cast<int16_t>(where.top), static_cast<uint16_t>(where.width()),
                    static_cast<uint16_t>(where.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, s->root_visual,
                    XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
  if (kind == Kind::Panel) {
    const xcb_atom_t dock = atom(c_, "_NET_WM_WINDOW_TYPE_DOCK");
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, atom(c_, "_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1,
                        &dock);
  }
  xcb_map_window(c_, window_);
  free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
}

Cover::~Cover() { xcb_disconnect(c_); }

bool Cover::ok() const { return c_ && !xcb_connection_has_error(c_); }

MapWatch::MapWatch(const XServer& x) : c_(xcb_connect(x.display().c_str(), nullptr)) {
  if (!ok()) return;
  xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
  const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(c_, s->root, XCB_CW_EVENT_MASK, &mask);
  free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
}

MapWatch::~MapWatch() { xcb_disconnect(c_); }

bool MapWatch::ok() const { return c_ && !xcb_connection_has_error(c_); }

int MapWatch::maps() {
  if (!ok()) return -1;
  free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
  while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
    if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY) ++maps_;
    free(e);
  }
  return maps_;
}

}  // namespace tolvane::e2e
