#include <QApplication>
#include <QBitmap>
#include <QCursor>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <algorithm>
#include <map>
#include <set>

#include "platform/forms/ControlWidgetsPrivate.h"
#include "platform/forms/Forms.h"
#include "platform/graphics/GraphicsResources.h"

TScreen* Screen = nullptr;

namespace {

// Cursors made from resources, kept for the program's life (handles are
// never reused).
std::map<uintptr_t, QCursor>& LoadedCursors() {
  static std::map<uintptr_t, QCursor> cursors;
  return cursors;
}

}  // namespace

HCURSOR LoadCursor(std::string_view name) {
  const TResource& resource = ResourceByName(TResourceKind::Cursor, name);
  QImage image = QImage::fromData(reinterpret_cast<const uchar*>(resource.bytes.data()),
                                  static_cast<int>(resource.bytes.size()), "BMP");
  if (image.isNull())
    throw EResNotFound("Ressource " + std::string(name) + " illisible");
  static uintptr_t next = 1;
  const uintptr_t handle = next++;
  LoadedCursors().emplace(
      handle, QCursor(QPixmap::fromImage(image), resource.hotSpot.X, resource.hotSpot.Y));
  return static_cast<HCURSOR>(handle);
}

struct TScreen::Impl {
  std::map<int, HCURSOR> table;
  TStringList fonts;
};

TScreen::TScreen(TComponent* owner) : TComponent(owner), impl_(std::make_unique<Impl>()) {
  menu_font_ = Create<TFont>();
  menu_font_->SetName("Tahoma");
  menu_font_->SetHeight(-11);
}

TScreen::~TScreen() {
  menu_font_->Free();
}

int TScreen::Width() const {
  if (QGuiApplication* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    if (QScreen* s = app->primaryScreen())
      return s->geometry().width();
  }
  return 1024;
}

int TScreen::Height() const {
  if (QGuiApplication* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    if (QScreen* s = app->primaryScreen())
      return s->geometry().height();
  }
  return 768;
}

TStringList* TScreen::Fonts() {
  if (impl_->fonts.Count() == 0 &&
      qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
    std::set<std::string> names{"Arial", "MS Sans Serif", "Tahoma"};
    for (const QString& family : QFontDatabase::families())
      names.insert(family.toStdString());
    for (const std::string& n : names)
      impl_->fonts.Add(n);
  }
  return &impl_->fonts;
}

TWinControl* TScreen::ActiveControl() const {
  TCustomForm* form = ActiveForm();
  return form != nullptr ? form->ActiveControl() : nullptr;
}

TCustomForm* TScreen::ActiveForm() const {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
    return nullptr;
  QWidget* window = QApplication::activeWindow();
  if (auto* w = dynamic_cast<kestrune::WinWidget*>(window))
    return dynamic_cast<TCustomForm*>(&w->Control());
  // Without a window manager no window is active: the last form shown.
  TCustomForm* last = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (auto* w = dynamic_cast<kestrune::WinWidget*>(top); w != nullptr && w->isVisible())
      last = dynamic_cast<TCustomForm*>(&w->Control());
  }
  return last;
}

void TScreen::SetCursor(TCursor value) {
  cursor_ = value;
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
    return;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (auto* w = dynamic_cast<kestrune::WinWidget*>(top))
      w->setCursor(kestrune::CursorFor(value != crDefault ? value : w->Control().Cursor()));
  }
}

HCURSOR TScreen::Cursors(int index) const {
  auto it = impl_->table.find(index);
  return it != impl_->table.end() ? it->second : HCURSOR{};
}

void TScreen::SetCursors(int index, HCURSOR cursor) {
  impl_->table[index] = cursor;
}

namespace kestrune {

QCursor CursorFor(TCursor cursor) {
  switch (cursor) {
    case crNone:
      return QCursor(Qt::BlankCursor);
    case crCross:
      return QCursor(Qt::CrossCursor);
    case crIBeam:
      return QCursor(Qt::IBeamCursor);
    case crSizeNS:
      return QCursor(Qt::SizeVerCursor);
    case crSizeWE:
      return QCursor(Qt::SizeHorCursor);
    case crHourGlass:
      return QCursor(Qt::WaitCursor);
    case crHandPoint:
      return QCursor(Qt::PointingHandCursor);
    default:
      break;
  }
  if (cursor > 0 && ::Screen != nullptr) {
    auto it = LoadedCursors().find(static_cast<uintptr_t>(::Screen->Cursors(cursor)));
    if (it != LoadedCursors().end())
      return it->second;
  }
  return QCursor(Qt::ArrowCursor);
}

namespace {
Qt::MouseButtons g_buttons = Qt::NoButton;
}  // namespace

void NoteMouseButtons(Qt::MouseButtons buttons) {
  g_buttons = buttons;
}

}  // namespace kestrune

namespace kestrune {
namespace {
bool g_pointer_set = false;
TPoint g_pointer;
}  // namespace

void OverridePointer(TPoint screenPos) {
  g_pointer_set = true;
  g_pointer = screenPos;
}
}  // namespace kestrune

bool GetCursorPos(TPoint* point) {
  if (point == nullptr)
    return false;
  if (kestrune::g_pointer_set) {
    *point = kestrune::g_pointer;
    return true;
  }
  const QPoint p = QCursor::pos();
  *point = Point(p.x(), p.y());
  return true;
}

int16_t GetAsyncKeyState(int virtualKey) {
  Qt::MouseButtons buttons = kestrune::g_buttons;
  Qt::KeyboardModifiers modifiers = Qt::NoModifier;
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
    buttons |= QGuiApplication::mouseButtons();
    modifiers = QGuiApplication::queryKeyboardModifiers();
  }
  bool down = false;
  switch (virtualKey) {
    case VK_LBUTTON:
      down = (buttons & Qt::LeftButton) != 0;
      break;
    case VK_RBUTTON:
      down = (buttons & Qt::RightButton) != 0;
      break;
    case VK_MBUTTON:
      down = (buttons & Qt::MiddleButton) != 0;
      break;
    case VK_SHIFT:
      down = (modifiers & Qt::ShiftModifier) != 0;
      break;
    case VK_CONTROL:
      down = (modifiers & Qt::ControlModifier) != 0;
      break;
    case VK_MENU:
      down = (modifiers & Qt::AltModifier) != 0;
      break;
    default:
      break;
  }
  return down ? static_cast<int16_t>(0x8000) : int16_t{0};
}

TControl* FindDragTarget(const TPoint& pos, bool allowDisabled) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
    return nullptr;
  const QPoint global(pos.X, pos.Y);
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (dynamic_cast<kestrune::WinWidget*>(top) == nullptr || !top->isVisible())
      continue;
    const QPoint local = top->mapFromGlobal(global);
    if (!top->rect().contains(local))
      continue;
    QWidget* hit = top->childAt(local);
    if (hit == nullptr)
      hit = top;
    kestrune::WinWidget* owner = nullptr;
    for (QWidget* w = hit; w != nullptr && owner == nullptr; w = w->parentWidget())
      owner = dynamic_cast<kestrune::WinWidget*>(w);
    if (owner == nullptr)
      continue;
    TWinControl& control = owner->Control();
    // In the control's own client coordinates: a form's window frame holds
    // the menu bar above its client area.
    kestrune::WinWidget* own = kestrune::WinWidget::Of(&control);
    const QPoint inOwner = (own != nullptr ? own : owner)->mapFromGlobal(global);
    if (TControl* child = control.ControlAtPos(Point(inOwner.x(), inOwner.y()), allowDisabled))
      return child;
    if (allowDisabled || control.Enabled())
      return &control;
    return nullptr;
  }
  return nullptr;
}
