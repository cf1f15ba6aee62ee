// Typing into the text tool's box: the cost of one key pressed at the end of
// 100 and of 5000 characters, in the capture logic alone (with the real text
// measure) and through the real widgets (Qt offscreen).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/qt/capture_window.h"
#include "platform/qt/control_view.h"
#include "platform/qt/system.h"
#include "platform/qt/text_engine.h"
#include "platform/qt/qt_screen.h"
#include "session/capture_session.h"

namespace tolvane::bench {
namespace {

namespace pq = platform::qt;

// What typing never reaches.
struct NoLock : platform::InstanceLock {
  Result acquire() override { return {State::Acquired, std::nullopt}; }
  void release() override {}
};
struct NoClipboard : platform::Clipboard {
  void setImage(const Image&) override {}
  void clear() override {}
};
struct NoDialog : platform::SaveDialog {
  std::optional<platform::SaveAnswer> run(const platform::SaveRequest&) override { return std::nullopt; }
};
struct NoMessages : platform::MessageBox {
  void information(const std::string&, const std::string&) override {}
};
struct NoEncoders : platform::Encoders {
  platform::EncodeResult encode(platform::Format, const Image&, const platform::EncodeParams&) override {
    return {{}, platform::Failure{1, "not in the benchmark"}};
  }
};

// The capture window with the text box open, as main wires it; without
// `widgets` the logic runs alone.
struct Typing {
  pq::QtTextEngine text;
  pq::CaptureWindow window;
  pq::QtScreen screen;
  picture::RasterSurface surface{screen.width(), screen.height(), &text, &window};
  pq::QtPointer pointer;
  pq::QtApp app{window, pointer};
  NoLock lock;
  NoClipboard clipboard;
  NoDialog dialog;
  NoMessages messages;
  NoEncoders encoders;
  pq::QtEnvironment env;
  pq::QtControlView view{window};
  session::Platform platform{surface, screen, pointer, app, lock, clipboard, dialog, messages, encoders, env};
  session::CaptureSession form;
  QLineEdit* edit = nullptr;
  std::string typed;

  explicit Typing(bool widgets) : form(platform, widgets ? &view : nullptr) {
    window.setSurface(&surface);
    window.relay().setSink(&form);
    if (widgets) view.attach(&form.controls());
    form.start();
    if (widgets) {
      view.setLive(true);
      app.goLive();
      view.ensureBuilt();
    }
    using platform::Ctl;
    auto at = [](float x, float y) { return platform::Mouse{1, 0, x, y}; };
    form.mouseDown({Ctl::Window, -1}, at(10, 10));
    form.mouseMove({Ctl::Window, -1}, at(700, 500));
    form.mouseUp({Ctl::Window, -1}, at(700, 500));
    form.click({Ctl::ToolButton, 5});  // the text tool
    form.mouseDown({Ctl::Window, -1}, at(20, 40));
    form.mouseUp({Ctl::Window, -1}, at(20, 40));
    edit = qobject_cast<QLineEdit*>(view.widget({Ctl::NoteField, -1}));
  }

  // Empties the box, then types `n` characters; the width starts over at 25.
  void startWith(int n) {
    form.controls()(platform::Ctl::NoteField).setWidth(25);
    typed.clear();
    if (edit) edit->clear();
    for (int i = 0; i < n; ++i) key(i);
  }
  // A printable key: to the focused box as the window system delivers it,
  // or straight to the logic as the box reports its new text.
  void key(int i) {
    const char c = static_cast<char>('a' + i % 26);
    if (edit) {
      QKeyEvent press(QEvent::KeyPress, Qt::Key_A + i % 26, Qt::NoModifier, QString(QChar(c)));
      QCoreApplication::sendEvent(edit, &press);
    } else {
      typed += c;
      form.textChanged({platform::Ctl::NoteField, -1}, typed);
    }
  }
  std::size_t length() const { return edit ? static_cast<std::size_t>(edit->text().size()) : typed.size(); }
};

Typing& rig(bool widgets) {
  // They live as long as the QApplication.
  static auto* logic = new Typing(false);
  static auto* real = new Typing(true);
  return widgets ? *real : *logic;
}

void typeAtTheEnd(benchmark::State& state, bool widgets) {
  Typing& t = rig(widgets);
  const int n = static_cast<int>(state.range(0));
  t.startWith(n);
  int i = n;
  for (auto _ : state) t.key(i++);
  state.counters["chars_at_end"] = static_cast<double>(t.length());
}

// The capture logic's part of a key: the box's text taken and the box grown to it.
void BM_KeyInTheLogic(benchmark::State& state) { typeAtTheEnd(state, false); }
// The whole key in the QLineEdit, the logic and the view, without painting.
void BM_KeyThroughTheWidgets(benchmark::State& state) { typeAtTheEnd(state, true); }
// A fixed number of keys, so that the text stays near its starting length.
BENCHMARK(BM_KeyInTheLogic)->Arg(100)->Arg(5000)->Iterations(300)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_KeyThroughTheWidgets)->Arg(100)->Arg(5000)->Iterations(300)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
}  // namespace tolvane::bench

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
