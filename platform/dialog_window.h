// A modal dialog window made from a template: it shows models over the
// template's controls and hands the user's doings back. What the dialog
// holds and its rules live with the dialog; the window only shows and
// collects.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vf::platform {

// A combo box's content: entries with an integer item value, one
// selection, shown or hidden.
class ComboBoxModel {
 public:
  struct Entry {
    std::u16string text;
    int32_t value;
  };

  void Add(std::u16string text, int32_t value) { m_entries.push_back({std::move(text), value}); }
  void Clear();
  // The first entry, then every entry that carries `value`: the last such
  // entry stays selected, and without one the first does.
  void SelectValue(int32_t value);
  void Select(int index) { m_selected = index >= 0 && index < Count() ? index : -1; }
  // The selected entry's value; -1 (the combo box's error value) without a selection.
  int32_t SelectedValue() const;
  int Selected() const { return m_selected; }
  int Count() const { return static_cast<int>(m_entries.size()); }
  const std::vector<Entry>& Entries() const { return m_entries; }

  bool m_bVisible = true;

 private:
  std::vector<Entry> m_entries;
  int m_selected = -1;
};

struct EditModel {
  std::u16string m_strText;
  bool m_bVisible = true;
};

enum class ControlKind { kGroupBox, kStatic, kComboBox, kEdit, kPushButton };

// A position in dialog units: a quarter of the font's average character
// width across, an eighth of its height down.
struct DialogRect {
  int x, y, width, height;
};

struct TemplateControl {
  ControlKind kind;
  int id;  // -1: a static text or group box that nothing refers to
  const char* text;
  DialogRect rect;  // a combo box's height includes its open list
};

// A rectangle on screen, in pixels from the dialog's client origin.
struct PixelRect {
  int x, y, width, height;
};

// Dialog units to pixels for "MS Shell Dlg" at 8 points on a 96 dpi screen,
// whose base units are 6 x 13 pixels; rounded as Windows' MapDialogRect does.
inline constexpr int kBaseUnitX = 6;
inline constexpr int kBaseUnitY = 13;
constexpr int DialogUnitsAcross(int units) { return (units * kBaseUnitX + 2) / 4; }
constexpr int DialogUnitsDown(int units) { return (units * kBaseUnitY + 4) / 8; }
constexpr PixelRect ToPixels(DialogRect rect) {
  return {DialogUnitsAcross(rect.x), DialogUnitsDown(rect.y), DialogUnitsAcross(rect.width),
          DialogUnitsDown(rect.height)};
}

// The template and what the window shows over its controls.
struct DialogContent {
  // Windows loads the template (and the Common Controls manifest) from this
  // module's resources; a window that lays itself out reads the rest.
  int templateId;
  int manifestId;
  const char* title;
  int width, height;      // dialog units
  int closedComboHeight;  // what a closed combo box takes of its template height
  std::span<const TemplateControl> controls;

  // A control shown at a template control's place: at a combo box of the
  // template, that box itself; at one of its hidden edit controls, a
  // control made at run time with the id `controlId`. Several may share a
  // place: their models say which one is visible.
  struct Combo {
    int placeId;
    int controlId;
    ComboBoxModel* model;
  };
  struct Edit {
    int placeId;
    int controlId;
    EditModel* model;
  };
  // A static text whose words the dialog sets.
  struct Text {
    int id;
    const std::u16string* text;
  };
  // A push button's image: a PNG resource (on Linux, built into the library).
  struct Image {
    int buttonId;
    int pngResourceId;
  };
  std::vector<Combo> combos;
  std::vector<Edit> edits;
  std::vector<Text> texts;
  std::vector<Image> images;
};

// What the window tells the dialog. Before SelectionChanged and Confirmed
// (OK) the window has put what the user chose into the models; after
// Initialized and SelectionChanged it shows the models again.
class DialogEvents {
 public:
  virtual void Initialized() = 0;
  virtual void SelectionChanged(int controlId) = 0;
  virtual void Confirmed() = 0;

 protected:
  ~DialogEvents() = default;
};

// How a dialog session ended.
enum class DialogEnd { kOk, kCancel, kFailed };

// Makes the window with no parent and runs it until the user ends it.
// Without a display, while another dialog of this library is open, or when
// the window cannot be made, returns kFailed at once and shows nothing.
DialogEnd RunDialog(const DialogContent& content, DialogEvents& events);

}  // namespace vf::platform
