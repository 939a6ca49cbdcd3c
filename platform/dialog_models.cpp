#include "dialog_window.h"

namespace vf::platform {

void ComboBoxModel::Clear() {
  m_entries.clear();
  m_selected = -1;
}

void ComboBoxModel::SelectValue(int32_t value) {
  Select(0);
  for (int i = 0; i < Count(); ++i) {
    if (m_entries[static_cast<size_t>(i)].value == value) m_selected = i;
  }
}

int32_t ComboBoxModel::SelectedValue() const {
  return m_selected < 0 ? -1 : m_entries[static_cast<size_t>(m_selected)].value;
}

}  // namespace vf::platform
