#include "platform/qt/control_view.h"

#include <QAbstractItemView>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

#include "layout/controls.h"
#include "platform/control_rules.h"
#include "platform/qt/pictures.h"
#include "platform/qt/scaling.h"
#include "platform/qt/text_engine.h"

namespace tolvane::platform::qt {

QColor qColor(ColorRef c) { return QColor::fromRgb(shownColor(c)); }

QRect pixelRect(const ControlState& s) {
  const IRect r = placeInContainer(s);
  return QRect(r.left, r.top, r.width(), r.height());
}

QFont controlFont(const ControlState& s, const QPaintDevice* device) {
  QFont f = cjkFont(controlPoints(s), device);
  if (!s.fontFace.empty()) {
    QStringList families = cjkFamilies();
    families.prepend(QString::fromStdString(s.fontFace));
    families.removeDuplicates();
    f.setFamilies(families);
  }
  return f;
}

// --- ControlWidget ---

ControlWidget::ControlWidget(EventRelay& relay, const ControlState& state, QWidget* parent)
    : QWidget(parent), relay_(relay), s_(state) {
  setMouseTracking(true);
  if (!takesMouse(s_.kind)) setAttribute(Qt::WA_TransparentForMouseEvents);
  if (!s_.tooltip.empty()) setToolTip(QString::fromStdString(s_.tooltip));
}

void ControlWidget::setState(const ControlState& state) {
  s_ = state;
  update();
}

void ControlWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (const double scale = devicePixelRatioF(); scale != 1.0 && s_.kind == Kind::Shape && s_.parent.ctl == Ctl::Window)
    paintDeviceFrame(p, scale);
  else
    paintFromSteps(p);
  if (paintOver) paintOver(p);
}

void ControlWidget::paintFromSteps(QPainter& p) {
  const QRect shown = geometry();
  const IRect shownBox{shown.left(), shown.top(), shown.right() + 1, shown.bottom() + 1};
  for (const PaintStep& step : platform::paintSteps(s_, shownBox)) {
    const QRect box(step.box.left, step.box.top, step.box.width(), step.box.height());
    switch (step.op) {
      case PaintStep::Op::Fill: p.fillRect(box, QColor::fromRgb(step.color)); break;
      case PaintStep::Op::Line:
        p.setPen(QColor::fromRgb(step.color));
        p.drawLine(step.from.x, step.from.y, step.to.x, step.to.y);
        break;
      case PaintStep::Op::Picture: {  // the widget cuts it to its box
        const QImage& pic = pictureImage(s_.picture, devicePixelRatioF());
        if (!pic.isNull()) p.drawImage(box.topLeft(), pic);
        break;
      }
      case PaintStep::Op::Caption:
        p.setFont(controlFont(s_, this));
        p.setPen(QColor::fromRgb(step.color));
        p.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, QString::fromStdString(s_.caption));
        break;
    }
  }
}

void ControlWidget::paintDeviceFrame(QPainter& p, double scale) {
  // The region's frame lies on the region's edge pixels, as the logic placed
  // it in device pixels; its line is as thick as one logical pixel.
  const IRect place = placeInContainer(s_);
  if (place.empty()) return;
  p.save();
  p.scale(1 / scale, 1 / scale);
  p.translate(-std::floor(x() * scale), -std::floor(y() * scale));
  if (s_.hasBack) p.fillRect(QRect(place.left, place.top, place.width(), place.height()), qColor(s_.backColor));
  const QColor c = qColor(s_.borderColor);
  for (const IRect& r : deviceBorder(s_, scale)) p.fillRect(QRect(r.left, r.top, r.width(), r.height()), c);
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
    sendItemChosen([this](const std::function<void(EventSink&)>& f) { relay_.send(f); }, s_.ref,
                   itemText(index).toStdString());
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
    StackPlace place;
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
    const int order = static_cast<int>(designOrder_.size());
    designOrder_[{s.ref.ctl, s.ref.index}] = order;
    place(w, s);
    widgets_[{s.ref.ctl, s.ref.index}] = w;
    children[parent].push_back({w, {s.kind, order}});
  }
  // Each container's children sorted front to back, then raised back to front.
  for (auto& [parent, list] : children) {
    std::sort(list.begin(), list.end(), [](const Child& a, const Child& b) { return liesInFront(a.place, b.place); });
    for (auto it = list.rbegin(); it != list.rend(); ++it) it->w->raise();
  }
  for (const auto& c : controls_->all()) {
    const ControlState& s = c.state();
    QWidget* w = widget(c.ref());
    if (drawnByWindow(s)) {
      window_.showShape(w, s, stackPlace(s));
      continue;
    }
    w->setVisible(s.visible);
    // A control on the window behind a shape the window draws shows the
    // shape's lines over itself, as the shape's widget would.
    if (auto* cw = dynamic_cast<ControlWidget*>(w); cw && s.parent.ctl == Ctl::Window)
      cw->paintOver = [this, cw, place = stackPlace(s)](QPainter& p) { window_.paintShapesOver(p, *cw, place); };
  }
}

bool QtControlView::drawnByWindow(const ControlState& s) const {
  // With a window per output the shape may lie on another output's window.
  return onlyBorderOnWindow(s) && outputs_.size() <= 1;
}

StackPlace QtControlView::stackPlace(const ControlState& s) const {
  const auto it = designOrder_.find({s.ref.ctl, s.ref.index});
  return {s.kind, it == designOrder_.end() ? 0 : it->second};
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
    case Prop::Visible:
      if (!drawnByWindow(state)) w->setVisible(state.visible);
      break;
    default: break;
  }
  if (drawnByWindow(state)) window_.showShape(w, state, stackPlace(state));
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
