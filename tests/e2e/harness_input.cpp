// Input as a user gives it, through xdotool, and the clipboard as another
// program sees it, through xclip and a selection request of our own.
#include <poll.h>
#include <xcb/xcb.h>

#include <cstdlib>

#include "harness.h"

namespace tolvane::e2e {

bool XServer::xdotool(const std::vector<std::string>& args) const {
  std::vector<std::string> argv{"xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  return run(argv, {{"DISPLAY", display_}}).status == 0;
}

// The program gets input events in the order they are sent, so nothing here
// waits for it; the short pauses only space the events out like a hand would,
// so that motion arrives between press and release.
void XServer::drag(int x0, int y0, int x1, int y1, int button) const {
  const std::string b = std::to_string(button);
  xdotool({"mousemove", std::to_string(x0), std::to_string(y0), "sleep", "0.05", "mousedown", b});
  for (int i = 1; i <= 5; ++i)
    xdotool({"mousemove", std::to_string(x0 + (x1 - x0) * i / 5), std::to_string(y0 + (y1 - y0) * i / 5), "sleep",
             "0.03"});
  xdotool({"mouseup", b});
}

void XServer::click(int x, int y, int button) const {
  xdotool({"mousemove", std::to_string(x), std::to_string(y), "sleep", "0.05", "click", std::to_string(button)});
}

void XServer::doubleClick(int x, int y) const {
  xdotool({"mousemove", std::to_string(x), std::to_string(y), "sleep", "0.05", "click", "--repeat", "2", "--delay",
           "60", "1"});
}

void XServer::key(const std::string& name) const { xdotool({"key", name}); }

std::optional<std::string> XServer::clipboard(const std::string& type, Millis timeout) const {
  const RunResult r = run({"xclip", "-selection", "clipboard", "-t", type, "-o"}, {{"DISPLAY", display_}}, timeout);
  if (r.status != 0 || r.out.empty()) return std::nullopt;
  return r.out;
}

std::string XServer::clipboardTargets() const {
  return run({"xclip", "-selection", "clipboard", "-t", "TARGETS", "-o"}, {{"DISPLAY", display_}}, 5s).out;
}

namespace {
xcb_atom_t intern(xcb_connection_t* c, const std::string& name) {
  auto* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.c_str()), nullptr);
  const xcb_atom_t a = r ? r->atom : XCB_NONE;
  free(r);
  return a;
}
std::string atomName(xcb_connection_t* c, xcb_atom_t a) {
  auto* r = xcb_get_atom_name_reply(c, xcb_get_atom_name(c, a), nullptr);
  std::string out =
      r ? std::string(xcb_get_atom_name_name(r), static_cast<std::size_t>(xcb_get_atom_name_name_length(r))) : "";
  free(r);
  return out;
}
}  // namespace

SelectionAnswer XServer::askClipboard(const std::string& target, Millis timeout) const {
  SelectionAnswer answer;
  xcb_connection_t* c = xcb_connect(display_.c_str(), nullptr);
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    return answer;
  }
  xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  const xcb_window_t w = xcb_generate_id(c);
  xcb_create_window(c, XCB_COPY_FROM_PARENT, w, s->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, s->root_visual, 0,
                    nullptr);
  const xcb_atom_t property = intern(c, "TOLVANE_TEST_ANSWER");
  xcb_convert_selection(c, w, intern(c, "CLIPBOARD"), intern(c, target), property, XCB_CURRENT_TIME);
  xcb_flush(c);
  const auto end = std::chrono::steady_clock::now() + timeout;
  pollfd f{xcb_get_file_descriptor(c), POLLIN, 0};
  while (!answer.answered && std::chrono::steady_clock::now() < end) {
    while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
      if ((e->response_type & 0x7f) == XCB_SELECTION_NOTIFY) {
        const auto* n = reinterpret_cast<xcb_selection_notify_event_t*>(e);
        answer.answered = true;
        answer.refused = n->property == XCB_NONE;
        if (!answer.refused) {
          auto* r = xcb_get_property_reply(
              c, xcb_get_property(c, 1, w, n->property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 24), nullptr);
          if (r) {
            answer.type = r->type == XCB_NONE ? "" : atomName(c, r->type);
            answer.bytes.assign(static_cast<const char*>(xcb_get_property_value(r)),
                                static_cast<std::size_t>(xcb_get_property_value_length(r)));
            free(r);
          }
        }
      }
      free(e);
    }
    if (!answer.answered) poll(&f, 1, 20);
  }
  xcb_disconnect(c);
  return answer;
}

bool XServer::takeClipboard(const std::string& text) const {
  // xclip stays behind to serve the text; its output goes nowhere so we need not wait for it.
  if (run({"sh", "-c", "xclip -selection clipboard -i >/dev/null 2>&1"}, {{"DISPLAY", display_}}, kPatience, text)
          .status != 0)
    return false;
  return waitUntil([&] { return clipboard("UTF8_STRING", 5s) == text; }, kPatience);
}

}  // namespace tolvane::e2e
