#include "window/window_win.h"

#include <commctrl.h>

#include <utility>

#include "platform/win/gdi_scope.h"

namespace plexi::win {
namespace {

constexpr UINT_PTR kAdoptedSubclass = 1;
// Where an adopted control keeps its object.
constexpr wchar_t kAdoptedObject[] = L"PlexiscrubWindow";

// The child a parent's notification is about, when the message names one.
// A click posted by id alone (lparam 0: Enter or Escape in a dialog without
// that button's window, or another program) is about the child of that id.
HWND ChildOf(HWND parent, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (lparam == 0 && HIWORD(wparam) == BN_CLICKED) return GetDlgItem(parent, LOWORD(wparam));
      return reinterpret_cast<HWND>(lparam);
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<HWND>(lparam);
    case WM_NOTIFY:
      return lparam ? reinterpret_cast<const NMHDR*>(lparam)->hwndFrom : nullptr;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      return item && item->CtlType != ODT_MENU ? item->hwndItem : nullptr;
    }
    default:
      return nullptr;
  }
}

}  // namespace

Dpi DpiOf(HWND window) {
  // Windows 10 1607 and later; looked up at run time for older systems and
  // Wine versions without it.
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto get_dpi_for_window = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (window && get_dpi_for_window) {
    if (const UINT dpi = get_dpi_for_window(window); dpi > 0) return Dpi(int(dpi));
  }
  auto screen = GetWindowDc(nullptr);
  return Dpi(GetDeviceCaps(screen.get(), LOGPIXELSY));
}

HICON ProgramIcon(int size) {
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kProgramIconId),
                                       IMAGE_ICON, size, size, LR_SHARED));
}

bool RegisterWindowClass(const WindowClass& window_class) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExW(instance, window_class.name, &existing)) return true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &Window::Procedure;
  wc.hInstance = instance;
  wc.hIcon = window_class.icon ? window_class.icon : ProgramIcon(GetSystemMetrics(SM_CXICON));
  wc.hIconSm = window_class.icon ? nullptr : ProgramIcon(GetSystemMetrics(SM_CXSMICON));
  wc.hCursor = window_class.cursor ? window_class.cursor : LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = window_class.background;
  wc.lpszClassName = window_class.name;
  return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

Window* Window::FromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  const auto procedure = reinterpret_cast<WNDPROC>(GetClassLongPtrW(hwnd, GCLP_WNDPROC));
  if (procedure == &Window::Procedure) return reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  return static_cast<Window*>(GetPropW(hwnd, kAdoptedObject));
}

bool Window::AdoptControl(HWND control) {
  if (!control) return false;
  window_ = UniqueWindow(control);
  const Window* parent = FromHandle(GetParent(control));
  dpi_ = parent ? parent->dpi() : DpiOf(control);
  adopted_ = SetPropW(control, kAdoptedObject, this) &&
             SetWindowSubclass(control, &Window::AdoptedProcedure, kAdoptedSubclass, reinterpret_cast<DWORD_PTR>(this));
  if (!adopted_) {
    LetGoOfControl(control);
    window_.reset();
  }
  return adopted_;
}

void Window::LetGoOfControl(HWND control) {
  RemoveWindowSubclass(control, &Window::AdoptedProcedure, kAdoptedSubclass);
  RemovePropW(control, kAdoptedObject);
}

void Window::DestroyOwnWindow() {
  // An adopted control's last messages go to its own procedure alone.
  if (adopted_ && hwnd()) LetGoOfControl(hwnd());
  window_.reset();
}

LRESULT Window::Default(UINT message, WPARAM wparam, LPARAM lparam) {
  if (adopted_) return DefSubclassProc(hwnd(), message, wparam, lparam);
  return DefWindowProcW(hwnd(), message, wparam, lparam);
}

bool Window::CreateWindowOf(const WindowClass& window_class, const WindowPlacement& placement) {
  if (!RegisterWindowClass(window_class)) return false;
  const RECT& r = placement.bounds;
  const HMENU id =
      (placement.style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(placement.id)) : nullptr;
  CreateWindowExW(placement.ex_style, window_class.name, placement.text.c_str(), placement.style, r.left,
                  r.top, r.right - r.left, r.bottom - r.top, placement.parent, id,
                  GetModuleHandleW(nullptr), this);
  return hwnd() != nullptr;
}

LRESULT Window::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  return Default(message, wparam, lparam);
}

std::optional<LRESULT> Window::OnReflected(UINT, WPARAM, LPARAM) { return std::nullopt; }

void Window::OnDpiChanged(const Dpi&, const RECT& suggested) {
  SetWindowPos(hwnd(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

std::optional<LRESULT> Window::Reflect(HWND parent, UINT message, WPARAM wparam, LPARAM lparam) {
  Window* child = FromHandle(ChildOf(parent, message, wparam, lparam));
  if (!child) return std::nullopt;
  return child->OnReflected(message, wparam, lparam);
}

LRESULT CALLBACK Window::AdoptedProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                          DWORD_PTR object) {
  auto* self = reinterpret_cast<Window*>(object);
  if (message == WM_NCDESTROY) {
    // Destroyed with its parent: the object owns no window any more.
    LetGoOfControl(hwnd);
    static_cast<void>(self->window_.release());
    return DefSubclassProc(hwnd, message, wparam, lparam);
  }
  return self->Dispatch(message, wparam, lparam);
}

LRESULT CALLBACK Window::Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->window_ = UniqueWindow(hwnd);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    // A child is laid out for its parent's density.
    const HWND parent = (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) ? GetParent(hwnd) : nullptr;
    const Window* parent_object = FromHandle(parent);
    self->dpi_ = parent_object ? parent_object->dpi() : DpiOf(hwnd);
  }
  auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    // Destroyed by its parent or by the system: the object owns no window
    // any more.
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    static_cast<void>(self->window_.release());
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  return self->Dispatch(message, wparam, lparam);
}

LRESULT Window::Dispatch(UINT message, WPARAM wparam, LPARAM lparam) {
  if (std::optional<LRESULT> answer = Reflect(hwnd(), message, wparam, lparam)) return *answer;
  if (message == WM_DPICHANGED) {
    // The new density comes with the message: the window's own query may
    // still answer the old one while it moves.
    const Dpi old_dpi = std::exchange(dpi_, Dpi(HIWORD(wparam)));
    // Its children (ours among them) are on the new screen with it.
    EnumChildWindows(
        hwnd(),
        [](HWND child, LPARAM dpi) -> BOOL {
          if (Window* object = FromHandle(child)) object->dpi_ = Dpi(int(dpi));
          return TRUE;
        },
        LPARAM(dpi_.value()));
    OnDpiChanged(old_dpi, *reinterpret_cast<const RECT*>(lparam));
    return 0;
  }
  if (PaintsEveryPixel()) {
    if (message == WM_ERASEBKGND) return 1;
    if (message == WM_PAINT) {
      auto paint = BeginPaintScope(hwnd());
      OnPaint(paint.dc());
      return 0;
    }
  }
  return OnMessage(message, wparam, lparam);
}

Window::~Window() {
  // Derived parts are gone: the window's last messages go to the system.
  if (HWND hwnd = window_.release()) {
    if (adopted_) LetGoOfControl(hwnd);
    else SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    DestroyWindow(hwnd);
  }
}

bool Panel::Create(const WindowClass& window_class, const WindowPlacement& placement,
                   Handler handler) {
  handler_ = std::move(handler);
  return CreateWindowOf(window_class, placement);
}

LRESULT Panel::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (handler_) {
    if (std::optional<LRESULT> answer = handler_(message, wparam, lparam)) return *answer;
  }
  return Default(message, wparam, lparam);
}

}  // namespace plexi::win
