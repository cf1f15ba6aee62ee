#include "platform/qt/control_view.h"

#include <QAbstractItemView>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

#include "layout/controls.h"
#include "picture/rounding.h"
#include "platform/qt/pictures.h"
#include "platform/qt/scaling.h"
#include "platform/qt/text_engine.h"

namespace tolvane::platform::qt {

QColor qColor(ColorRef c) {
  const auto u = static_cast<std::uint32_t>(c);
  if (u & 0x80000000u) {
    switch (u & 0xFFu) {
      case 5: return QColor(255, 255, 255);   // window background
      case 8: return QColor(0, 0, 0);         // window text
      case 15: return QColor(240, 240, 240);  // button face
      case 16: return QColor(160, 160, 160);  // button shadow
      case 18: return QColor(0, 0, 0);        // button text
      case 20: return QColor(255, 255, 255);  // button highlight
      default: return QColor(128, 128, 128);
    }
  }
  return QColor(static_cast<int>(u & 0xFFu), static_cast<int>((u >> 8) & 0xFFu), static_cast<int>((u >> 16) & 0xFFu));
}

QRect pixelRect(const ControlState& s) {
  if (s.kind == Kind::Line) {
    const int x1 = roundEven(s.left), y1 = roundEven(s.top), x2 = roundEven(s.x2), y2 = roundEven(s.y2);
    return QRect(QPoint(std::min(x1, x2), std::min(y1, y2)), QPoint(std::max(x1, x2), std::max(y1, y2)));
  }
  const int l = roundEven(s.left), t = roundEven(s.top);
  const int r = roundEven(static_cast<double>(s.left) + s.width);
  const int b = roundEven(static_cast<double>(s.top) + s.height);
  return QRect(l, t, std::max(0, r - l), std::max(0, b - t));
}

namespace {
constexpr float kDefaultPoints = 9;
}  // namespace

QFont controlFont(const ControlState& s, const QPaintDevice* device) {
  QFont f = cjkFont(s.fontSize > 0 ? s.fontSize : kDefaultPoints, device);
  if (!s.fontFace.empty()) {
    QStringList families = cjkFamilies();
    families.prepend(QString::fromStdString(s.fontFace));
    families.removeDuplicates();
    f.setFamilies(families);
  }
  return f;
}

namespace {

// A sunken two-pixel edge, visible on every swatch colour.
void drawSunkenFrame(QPainter& p, const QRect& r) {
  if (r.width() < 4 || r.height() < 4) return;
  const QColor shadow(160, 160, 160), dark(64, 64, 64), light(255, 255, 255), face(227, 227, 227);
  const int l = r.left(), t = r.top(), rr = r.right(), b = r.bottom();
  p.setPen(shadow);
  p.drawLine(l, t, rr - 1, t);
  p.drawLine(l, t, l, b - 1);
  p.setPen(light);
  p.drawLine(l, b, rr, b);
  p.drawLine(rr, t, rr, b);
  p.setPen(dark);
  p.drawLine(l + 1, t + 1, rr - 2, t + 1);
  p.drawLine(l + 1, t + 1, l + 1, b - 2);
  p.setPen(face);
  p.drawLine(l + 1, b - 1, rr - 1, b - 1);
  p.drawLine(rr - 1, t + 1, rr - 1, b - 1);
}

bool isWindowed(Kind k) { return k == Kind::PictureBox || k == Kind::TextBox || k == Kind::ComboBox; }

}  // namespace

// --- ControlWidget ---

ControlWidget::ControlWidget(EventRelay& relay, const ControlState& state, QWidget* parent)
    : QWidget(parent), relay_(relay), s_(state) {
  setMouseTracking(true);
  // Shapes and lines have no events: the mouse reaches what lies below them.
  if (s_.kind == Kind::Shape || s_.kind == Kind::Line) setAttribute(Qt::WA_TransparentForMouseEvents);
  if (!s_.tooltip.empty()) setToolTip(QString::fromStdString(s_.tooltip));
}

void ControlWidget::setState(const ControlState& state) {
  s_ = state;
  update();
}

void ControlWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect r = rect();
  switch (s_.kind) {
    case Kind::PictureBox:
    case Kind::Image: {
      if (s_.hasBack) p.fillRect(r, qColor(s_.backColor));
      const QImage& pic = pictureImage(s_.picture, devicePixelRatioF());
      if (!pic.isNull()) p.drawImage(0, 0, pic);
      if (s_.kind == Kind::PictureBox && s_.borderStyle == 1) drawSunkenFrame(p, r);
      break;
    }
    case Kind::Shape:
      if (const double scale = devicePixelRatioF(); scale != 1.0 && s_.parent.ctl == Ctl::Window) {
        paintDeviceFrame(p, scale);
        break;
      }
      if (s_.hasBack) p.fillRect(r, qColor(s_.backColor));
      if (r.width() > 0 && r.height() > 0) {
        p.setPen(qColor(s_.borderColor));
        p.setBrush(Qt::NoBrush);
        p.drawRect(0, 0, r.width() - 1, r.height() - 1);
      }
      break;
    case Kind::Line: {
      const QPoint origin = geometry().topLeft();
      p.setPen(qColor(s_.borderColor));
      p.drawLine(QPoint(roundEven(s_.left), roundEven(s_.top)) - origin,
                 QPoint(roundEven(s_.x2), roundEven(s_.y2)) - origin);
      break;
    }
    case Kind::Label:
      if (s_.hasBack) p.fillRect(r, qColor(s_.backColor));
      p.setFont(controlFont(s_, this));
      p.setPen(qColor(s_.foreColor));
      p.drawText(r, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, QString::fromStdString(s_.caption));
      break;
    default:
      break;
  }
}

void ControlWidget::paintDeviceFrame(QPainter& p, double scale) {
  // The region's frame lies on the region's edge pixels, as the logic placed
  // it in device pixels; its line is as thick as one logical pixel.
  const QPoint origin(static_cast<int>(std::floor(x() * scale)), static_cast<int>(std::floor(y() * scale)));
  const int l = roundEven(s_.left) - origin.x(), t = roundEven(s_.top) - origin.y();
  const int w = roundEven(static_cast<double>(s_.left) + s_.width) - roundEven(s_.left);
  const int h = roundEven(static_cast<double>(s_.top) + s_.height) - roundEven(s_.top);
  if (w <= 0 || h <= 0) return;
  p.save();
  p.scale(1 / scale, 1 / scale);
  const QRect box(l, t, w, h);
  if (s_.hasBack) p.fillRect(box, qColor(s_.backColor));
  const int line = std::max(1, static_cast<int>(std::lround(scale)));
  const QColor c = qColor(s_.borderColor);
  p.fillRect(QRect(l, t, w, std::min(line, h)), c);
  p.fillRect(QRect(l, t + h - std::min(line, h), w, std::min(line, h)), c);
  p.fillRect(QRect(l, t, std::min(line, w), h), c);
  p.fillRect(QRect(l + w - std::min(line, w), t, std::min(line, w), h), c);
  p.restore();
}

Mouse ControlWidget::onWindow(const QMouseEvent& e, bool press) const {
  const auto* top = dynamic_cast<const CaptureWindow*>(window());
  return top ? top->inPicture(e, mapTo(top, e.position()), mouseFrom(e, press)) : mouseFrom(e, press);
}

void ControlWidget::mousePressEvent(QMouseEvent* e) { relay_.pointer().press(s_.ref, onWindow(*e, true)); }

void ControlWidget::mouseReleaseEvent(QMouseEvent* e) {
  // Over this control or not: the router decides whether it was a click.
  const CtlRef over = rect().contains(e->position().toPoint()) ? s_.ref : CtlRef{};
  relay_.pointer().release(over, onWindow(*e, true));
}

void ControlWidget::mouseMoveEvent(QMouseEvent* e) { relay_.pointer().move(s_.ref, onWindow(*e, false)); }

void ControlWidget::mouseDoubleClickEvent(QMouseEvent* e) { relay_.pointer().doubleClick(s_.ref, onWindow(*e, true)); }

ComboWidget::ComboWidget(EventRelay& relay, const ControlState& state, QWidget* parent)
    : QComboBox(parent), relay_(relay), s_(state) {
  for (const auto& item : s_.items) addItem(QString::fromStdString(item));
  setCurrentIndex(findText(QString::fromStdString(s_.text)));
  QObject::connect(this, &QComboBox::activated, this, [this](int index) {
    const CtlRef ref = s_.ref;
    const std::string utf8 = itemText(index).toStdString();
    relay_.send([&](EventSink& s) { s.textChanged(ref, utf8); });
    relay_.send([&](EventSink& s) { s.click(ref); });
  });
}

void ComboWidget::setState(const ControlState& state) {
  s_ = state;
  const int i = findText(QString::fromStdString(s_.text));
  if (i != currentIndex()) setCurrentIndex(i);
}

// --- QtControlView ---

QtControlView::QtControlView(CaptureWindow& window) : window_(window) {}

QtControlView::~QtControlView() = default;  // the window owns the widgets

QWidget* QtControlView::widget(CtlRef ref) const {
  const auto it = widgets_.find({ref.ctl, ref.index});
  return it == widgets_.end() ? nullptr : it->second;
}

void QtControlView::place(QWidget* w, const ControlState& given) {
  auto* box = dynamic_cast<TextBoxWidget*>(w);
  const bool anchored = box && box->anchoredText();
  // The editor is placed as wide as the text it shows, composed text included.
  const ControlState s = anchored ? box->shownState(window_.surface()) : given;
  // Controls inside others keep their designed places in logical pixels;
  // those on the window are placed against the region (scaling.h).
  QRect r = pixelRect(s);
  const double scale = window_.scale();
  if (s.parent.ctl == Ctl::Window && scale != 1.0 && controls_) {
    const QSize screen(static_cast<int>(window_.screenRect().width() / scale),
                       static_cast<int>(window_.screenRect().height() / scale));
    r = presentedRect(s, (*controls_)(Ctl::SelectionFrame).state(), (*controls_)(Ctl::Toolbar).state(), scale,
                      screen);
  }
  if (s.parent.ctl == Ctl::Window && outputs_.size() > 1) {
    const QRect logical = r;
    r = hostOnOutput(outputs_, w, pixelRect(s), logical, scale, s.visible);
    if (OutputCopies::copied(s.kind))
      copies_.place(outputs_, w->parentWidget(), window_.relay(), s, pixelRect(s), logical, scale,
                    designOrder_[{s.ref.ctl, s.ref.index}]);
  }
  if (anchored) r = box->boxFor(r);  // the editor's text, not its box, at the control's place
  w->setGeometry(r);
}

void QtControlView::ensureBuilt() {
  if (built_ || !controls_) return;
  built_ = true;
  EventRelay& relay = window_.relay();
  struct Child {
    QWidget* w;
    bool windowed;
  };
  std::map<QWidget*, std::vector<Child>> children;  // per container, in design order
  for (const auto& c : controls_->all()) {
    const ControlState& s = c.state();
    QWidget* parent = s.parent.ctl == Ctl::Window ? &window_ : widget(s.parent);
    if (!parent) parent = &window_;
    QWidget* w = nullptr;
    switch (s.kind) {
      case Kind::TextBox: {
        auto* box = new TextBoxWidget(relay, s, parent);
        box->onComposingChanged = [this, box] { place(box, box->state()); };
        w = box;
        break;
      }
      case Kind::ComboBox: w = new ComboWidget(relay, s, parent); break;
      default: w = new ControlWidget(relay, s, parent); break;
    }
    w->setObjectName(QString::fromStdString(s.name));
    designOrder_[{s.ref.ctl, s.ref.index}] = static_cast<int>(designOrder_.size());
    place(w, s);
    widgets_[{s.ref.ctl, s.ref.index}] = w;
    children[parent].push_back({w, isWindowed(s.kind)});
  }
  // Stacking: within a container, picture boxes, text boxes and the combo box
  // lie in front of images, shapes, lines and labels; within each group the
  // earlier control lies in front. Raising back to front gives that order.
  for (auto& [parent, list] : children) {
    for (bool windowed : {false, true})
      for (auto it = list.rbegin(); it != list.rend(); ++it)
        if (it->windowed == windowed) it->w->raise();
  }
  for (const auto& c : controls_->all()) widget(c.ref())->setVisible(c.state().visible);
}

void QtControlView::changed(const ControlState& state, Prop prop) {
  if (!built_) {
    // The logic keeps the state; the widgets take it when they are built.
    if (!live_) return;
    ensureBuilt();
    return;
  }
  QWidget* w = widget(state.ref);
  if (!w) return;
  if (auto* cw = dynamic_cast<ControlWidget*>(w)) {
    cw->setState(state);
    copies_.update(state);
  } else if (auto* tb = dynamic_cast<TextBoxWidget*>(w))
    tb->setState(state);
  else if (auto* cb = dynamic_cast<ComboWidget*>(w))
    cb->setState(state);
  switch (prop) {
    case Prop::Geometry:
    case Prop::FontSize: place(w, state); break;
    case Prop::Visible: w->setVisible(state.visible); break;
    default: break;
  }
  // At a scale the labels, toolbar and style panel are placed against the
  // frame and the toolbar, so they follow them.
  if (prop == Prop::Geometry && window_.scale() != 1.0 && controls_ &&
      (state.ref.ctl == Ctl::SelectionFrame || state.ref.ctl == Ctl::Toolbar)) {
    for (Ctl follower : {Ctl::SizeLabel, Ctl::ColorLabel, Ctl::Toolbar, Ctl::StylePanel}) {
      if (follower == state.ref.ctl) continue;
      if (QWidget* f = widget({follower, -1})) place(f, (*controls_)(follower).state());
    }
  }
}

void QtControlView::setFocus(CtlRef ref) {
  ensureBuilt();
  if (QWidget* w = widget(ref)) w->setFocus(Qt::OtherFocusReason);
}

bool QtControlView::comboDropped(CtlRef ref) const {
  auto* cb = dynamic_cast<QComboBox*>(widget(ref));
  return cb && cb->view() && cb->view()->isVisible();
}

void QtControlView::showComboDropDown(CtlRef ref, bool show) {
  ensureBuilt();
  auto* cb = dynamic_cast<QComboBox*>(widget(ref));
  if (!cb) return;
  if (show)
    cb->showPopup();
  else
    cb->hidePopup();
}

}  // namespace tolvane::platform::qt
