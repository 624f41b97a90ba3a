// What a portable control needs from the window that shows it. The control
// keeps its state and paints into a canvas; the host decides when that
// picture reaches the screen.
#pragma once
#include <cstdint>
#include <functional>

namespace plexi::controls {

class ControlHost {
 public:
  virtual ~ControlHost() = default;
  // Marks the control for repainting at the next paint cycle.
  virtual void Invalidate() = 0;
  // Paints the control before returning.
  virtual void PaintNow() = 0;
  // Asks for the keyboard focus; the host reports the change back through
  // the control's DoEnter.
  virtual void TakeFocus() {}
  // Stores a modal result in the form that owns the control.
  virtual void SetModalResult(int /*result*/) {}
};

enum TOrientation { pbHorizontal, pbVertical };

enum class MouseButton { mbLeft, mbRight, mbMiddle };

// Virtual-key codes of the keys the controls handle (the Windows values).
namespace keys {
constexpr int kReturn = 0x0D;
constexpr int kEscape = 0x1B;
constexpr int kSpace = 0x20;
constexpr int kPageUp = 0x21;  // VK_PRIOR
constexpr int kPageDown = 0x22;  // VK_NEXT
constexpr int kLeft = 0x25;
constexpr int kUp = 0x26;
constexpr int kRight = 0x27;
constexpr int kDown = 0x28;
}  // namespace keys

using NotifyEvent = std::function<void()>;
using KeyEvent = std::function<void(int key)>;
using MouseEvent = std::function<void(MouseButton button, int x, int y)>;
using MouseMoveEvent = std::function<void(int x, int y)>;

}  // namespace plexi::controls
