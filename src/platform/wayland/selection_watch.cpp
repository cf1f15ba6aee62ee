#include "platform/wayland/selection_watch.h"

#include <wayland-client.h>

#include <cstring>

#include "wlr-data-control-unstable-v1-client.h"

namespace tolvane::platform::wayland {

namespace {

SelectionWatch* watchOf(void* data) { return static_cast<SelectionWatch*>(data); }

void offerType(void* data, zwlr_data_control_offer_v1* offer, const char* type) {
  watchOf(data)->offersType(offer, type);
}
const zwlr_data_control_offer_v1_listener kOfferListener = {offerType};

void dataOffer(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
  watchOf(data)->offered(offer);
}
void selection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
  watchOf(data)->selected(offer);
}
void finished(void*, zwlr_data_control_device_v1*) {}
void primarySelection(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
  if (offer) zwlr_data_control_offer_v1_destroy(offer);
}
const zwlr_data_control_device_v1_listener kDeviceListener = {dataOffer, selection, finished, primarySelection};

void globalRemoved(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener kRegistryListener = {SelectionWatch::global, globalRemoved};

}  // namespace

void SelectionWatch::global(void* self, wl_registry* registry, std::uint32_t name, const char* interface,
                            std::uint32_t) {
  SelectionWatch* w = watchOf(self);
  if (!w->seat_ && std::strcmp(interface, wl_seat_interface.name) == 0)
    w->seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  if (!w->manager_ && std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0)
    w->manager_ = static_cast<zwlr_data_control_manager_v1*>(
        wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
}

std::unique_ptr<SelectionWatch> SelectionWatch::connect(const std::string& marker) {
  wl_display* d = wl_display_connect(nullptr);
  if (!d) return nullptr;
  std::unique_ptr<SelectionWatch> w(new SelectionWatch(d, marker));
  w->registry_ = wl_display_get_registry(d);
  wl_registry_add_listener(w->registry_, &kRegistryListener, w.get());
  if (wl_display_roundtrip(d) < 0 || !w->seat_ || !w->manager_) return nullptr;
  w->device_ = zwlr_data_control_manager_v1_get_data_device(w->manager_, w->seat_);
  zwlr_data_control_device_v1_add_listener(w->device_, &kDeviceListener, w.get());
  // The clipboard as it is now comes first.
  if (wl_display_roundtrip(d) < 0) return nullptr;
  return w;
}

SelectionWatch::~SelectionWatch() {
  for (const auto& [offer, marked] : offers_) zwlr_data_control_offer_v1_destroy(offer);
  if (device_) zwlr_data_control_device_v1_destroy(device_);
  if (manager_) zwlr_data_control_manager_v1_destroy(manager_);
  if (seat_) wl_seat_destroy(seat_);
  if (registry_) wl_registry_destroy(registry_);
  wl_display_disconnect(display_);
}

int SelectionWatch::fd() const { return wl_display_get_fd(display_); }

bool SelectionWatch::dispatch() {
  while (wl_display_prepare_read(display_) != 0)
    if (wl_display_dispatch_pending(display_) < 0) return false;
  wl_display_flush(display_);
  if (wl_display_read_events(display_) < 0) return false;
  return wl_display_dispatch_pending(display_) >= 0;
}

void SelectionWatch::offered(zwlr_data_control_offer_v1* offer) {
  offers_[offer] = false;
  zwlr_data_control_offer_v1_add_listener(offer, &kOfferListener, this);
}

void SelectionWatch::offersType(zwlr_data_control_offer_v1* offer, const char* type) {
  if (marker_ == type) offers_[offer] = true;
}

void SelectionWatch::selected(zwlr_data_control_offer_v1* offer) {
  const auto it = offers_.find(offer);
  const bool ours = it != offers_.end() && it->second;
  // Only the current offer is of use; the ones before it are done with.
  for (auto o = offers_.begin(); o != offers_.end();) {
    if (o->first == offer) {
      ++o;
      continue;
    }
    zwlr_data_control_offer_v1_destroy(o->first);
    o = offers_.erase(o);
  }
  if (onSelection) onSelection(ours);
}

}  // namespace tolvane::platform::wayland
