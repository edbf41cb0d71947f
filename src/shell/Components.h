// The state of the main window's controls, independent of any window system.
// A boolean setting is the check mark of its menu item; views render these
// objects (the Win32 window mirrors them into real controls, the console view
// prints what a terminal needs).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vek {

struct TComponent {
  explicit TComponent(std::string name) : Name(std::move(name)) {}
  std::string Name;
  bool Enabled = true;
  bool Visible = true;
  int Tag = 0;
};

struct TMenuItem : TComponent {
  TMenuItem(std::string name, std::string caption, bool checked = false)
      : TComponent(std::move(name)), Caption(std::move(caption)), Checked(checked) {}
  std::string Caption;
  bool Checked = false;
};

struct TButton : TComponent {
  TButton(std::string name, std::string caption) : TComponent(std::move(name)), Caption(std::move(caption)) {}
  std::string Caption;
};

struct TComboBox : TComponent {
  using TComponent::TComponent;
  std::vector<std::string> Items;
  int ItemIndex = -1;
};

struct TCheckListBox : TComponent {
  using TComponent::TComponent;
  std::vector<std::string> Items;
  std::vector<bool> Checked;  // one per item
};

struct TMemo : TComponent {
  using TComponent::TComponent;
  std::vector<std::string> Lines;
};

struct TStatusBar : TComponent {
  using TComponent::TComponent;
  std::string SimpleText;
};

// The one-shot timer that starts runs; the view arms the real timer.
struct TTimer : TComponent {
  using TComponent::TComponent;
  unsigned Interval = 1000;
  uint32_t ArmedTick = 0;  // the run's clock when it was last armed
};

}  // namespace vek
