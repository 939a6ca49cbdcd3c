// A combo box as the dialog uses it: entries with an integer item value,
// one selection, shown or hidden.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vf::ui {

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

}  // namespace vf::ui
