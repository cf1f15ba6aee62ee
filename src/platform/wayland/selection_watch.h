// Who holds the Wayland clipboard, seen through wlr-data-control on a
// connection of our own. A client that sets the clipboard is not always told
// when it loses it: a set made with an older input serial than the current
// clipboard's is dropped without a word, so a program that takes the
// clipboard right after ours leaves ours waiting for good. Watching every
// change of the clipboard, whoever has the keyboard, tells it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

struct wl_display;
struct wl_registry;
struct wl_seat;
struct zwlr_data_control_manager_v1;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_offer_v1;

namespace tolvane::platform::wayland {

class SelectionWatch {
 public:
  // nullptr when no compositor answers at WAYLAND_DISPLAY, or it offers no
  // wlr-data-control (GNOME, for one). `marker` is a type only our own
  // clipboard content offers.
  static std::unique_ptr<SelectionWatch> connect(const std::string& marker);
  ~SelectionWatch();
  SelectionWatch(const SelectionWatch&) = delete;
  SelectionWatch& operator=(const SelectionWatch&) = delete;

  // The connection's descriptor: readable when the compositor said something.
  int fd() const;
  // Handles what the compositor sent, without waiting. False when the
  // connection broke.
  bool dispatch();
  // Each time the clipboard changes hands: whether its content now is ours.
  std::function<void(bool ours)> onSelection;

  // For the protocol's callbacks.
  static void global(void* self, wl_registry* registry, std::uint32_t name, const char* interface,
                     std::uint32_t version);
  void offered(zwlr_data_control_offer_v1* offer);
  void offersType(zwlr_data_control_offer_v1* offer, const char* type);
  void selected(zwlr_data_control_offer_v1* offer);

 private:
  explicit SelectionWatch(wl_display* d, std::string marker) : display_(d), marker_(std::move(marker)) {}
  wl_display* display_;
  std::string marker_;
  wl_registry* registry_ = nullptr;
  wl_seat* seat_ = nullptr;
  zwlr_data_control_manager_v1* manager_ = nullptr;
  zwlr_data_control_device_v1* device_ = nullptr;
  std::map<zwlr_data_control_offer_v1*, bool> offers_;  // each live offer: whether it carries the marker
};

}  // namespace tolvane::platform::wayland
