// The KWin tests' hands and eyes, as a program of its own so that KWin can
// authorise it by its desktop entry, as it does any program:
//   kwin_helper shot    the whole desktop through KWin's screenshot
//                       interface, without the pointer, as a binary PPM
//   kwin_helper input   reads lines "move X Y", "down BUTTON", "up BUTTON",
//                       "key CODE", "keydown CODE", "keyup CODE" (Linux input
//                       codes) and sends each through KWin's fake input,
//                       answering "ok" once KWin has it
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QVariantMap>

#include <unistd.h>
#include <wayland-client.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "fake-input-client.h"

namespace {

int shot() {
  int fds[2];
  if (pipe(fds) != 0) return 1;
  QDBusMessage call = QDBusMessage::createMethodCall("org.kde.KWin.ScreenShot2", "/org/kde/KWin/ScreenShot2",
                                                     "org.kde.KWin.ScreenShot2", "CaptureWorkspace");
  call << QVariantMap{{"include-cursor", false}, {"native-resolution", true}}
       << QVariant::fromValue(QDBusUnixFileDescriptor(fds[1]));
  close(fds[1]);
  const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 10000);
  call = QDBusMessage();
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
    std::fprintf(stderr, "kwin_helper: %s\n", qPrintable(reply.errorMessage()));
    return 1;
  }
  const QVariantMap r = qdbus_cast<QVariantMap>(reply.arguments().first());
  const int w = r.value("width").toInt(), h = r.value("height").toInt(), stride = r.value("stride").toInt();
  const int format = r.value("format").toInt();
  std::string bytes;
  char buf[65536];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) bytes.append(buf, static_cast<std::size_t>(n));
  // Format_RGB32, Format_ARGB32 and its premultiplied form: 0xAARRGGBB words.
  if (format < 4 || format > 6 || bytes.size() < static_cast<std::size_t>(stride) * h) {
    std::fprintf(stderr, "kwin_helper: format %d, %zu bytes for %dx%d\n", format, bytes.size(), w, h);
    return 1;
  }
  std::printf("P6 %d %d 255\n", w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint32_t p;
      std::memcpy(&p, bytes.data() + static_cast<std::size_t>(y) * stride + x * 4, 4);
      std::putchar((p >> 16) & 0xFF);
      std::putchar((p >> 8) & 0xFF);
      std::putchar(p & 0xFF);
    }
  return 0;
}

org_kde_kwin_fake_input* fake = nullptr;

void global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
  if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0)
    fake = static_cast<org_kde_kwin_fake_input*>(wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
}
void globalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistry = {global, globalRemove};

int input() {
  wl_display* display = wl_display_connect(nullptr);
  if (!display) return 1;
  wl_registry_add_listener(wl_display_get_registry(display), &kRegistry, nullptr);
  wl_display_roundtrip(display);
  if (!fake) {
    std::fprintf(stderr, "kwin_helper: KWin offers no fake input to this program\n");
    return 1;
  }
  org_kde_kwin_fake_input_authenticate(fake, "tolvane tests", "drives the program under test");
  for (std::string line; std::getline(std::cin, line);) {
    std::istringstream in(line);
    std::string what;
    int a = 0, b = 0;
    in >> what >> a >> b;
    if (what == "move") org_kde_kwin_fake_input_pointer_motion_absolute(fake, wl_fixed_from_int(a), wl_fixed_from_int(b));
    // BTN_LEFT is 0x110, BTN_RIGHT 0x111.
    if (what == "down" || what == "up") org_kde_kwin_fake_input_button(fake, 0x10F + a, what == "down" ? 1 : 0);
    if (what == "key" || what == "keydown") org_kde_kwin_fake_input_keyboard_key(fake, a, 1);
    if (what == "key" || what == "keyup") org_kde_kwin_fake_input_keyboard_key(fake, a, 0);
    if (wl_display_roundtrip(display) < 0) return 1;
    std::cout << "ok" << std::endl;
  }
  wl_display_disconnect(display);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "shot") return shot();
  if (mode == "input") return input();
  std::fprintf(stderr, "usage: kwin_helper shot | input\n");
  return 2;
}
