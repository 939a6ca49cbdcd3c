// The configuration dialog as an FLTK window on X11, laid out from the
// template's dialog units. The model (CDialogConfig) holds every value; the
// widgets only show it and hand the user's choices back.
#include "config_dialog_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_PNG_Image.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ais_utf8.h"
#include "serial_port.h"
#include "ui/button_images.h"
#include "ui/dialog_template.h"

namespace vf::platform {
namespace {

using ui::ComboBoxModel;
using ui::DialogEnd;
using ui::EditModel;

// Near "MS Shell Dlg" at 8 points: 11 pixels high and narrow enough for the
// template's label widths. Fontconfig falls back to its sans-serif face.
constexpr int kFontSize = 11;
constexpr Fl_Font kFont = FL_FREE_FONT;
constexpr const char* kFontName = " DejaVu Sans Condensed";

ui::PixelRect PixelsOf(int id) { return ui::ToPixels(ui::FindTemplateControl(id)->rect); }

struct TitledControl {
  ui::PixelRect rect;
  const char* text;
};
TitledControl Titled(std::string_view text) {
  const ui::TemplateControl& control = ui::TemplateControlTitled(text);
  return {ui::ToPixels(control.rect), control.text};
}

// A Windows group box: an etched frame whose caption interrupts its top edge.
class GroupFrame : public Fl_Box {
 public:
  explicit GroupFrame(TitledControl control)
      : Fl_Box(control.rect.x, control.rect.y, control.rect.width, control.rect.height) {
    copy_label(control.text);
    labelfont(kFont);
    labelsize(kFontSize);
  }

 private:
  void draw() override {
    const int top = y() + kFontSize / 2;
    fl_draw_box(FL_ENGRAVED_FRAME, x(), top, w(), h() - (top - y()), color());
    fl_font(labelfont(), labelsize());
    const int textWidth = static_cast<int>(fl_width(label())) + 4;
    fl_color(color());
    fl_rectf(x() + 6, y(), textWidth, kFontSize);
    fl_color(labelcolor());
    fl_draw(label(), x() + 8, y() + kFontSize - fl_descent());
  }
};

// A combo box's entries as a menu that FLTK does not parse ('/' in
// "TCP/IP" would otherwise open a submenu).
class ChoiceBox {
 public:
  ChoiceBox(ui::PixelRect r, ComboBoxModel& model)
      : m_widget(r.x, r.y, r.width, ui::DialogUnitsDown(ui::kClosedComboHeight)), m_model(model) {
    m_widget.textfont(kFont);
    m_widget.textsize(kFontSize);
  }

  Fl_Choice& Widget() { return m_widget; }

  void LoadEntries() {
    m_texts.clear();
    for (const ComboBoxModel::Entry& entry : m_model.Entries()) m_texts.push_back(ToUtf8(entry.text));
    m_items.assign(m_texts.size() + 1, Fl_Menu_Item{});
    for (size_t i = 0; i < m_texts.size(); ++i) {
      m_items[i].text = m_texts[i].c_str();
      m_items[i].labelfont_ = kFont;
      m_items[i].labelsize_ = kFontSize;
    }
    m_widget.menu(m_items.data());
  }

  void Show() {
    if (m_model.Selected() >= 0) m_widget.value(m_model.Selected());
    m_model.m_bVisible ? m_widget.show() : m_widget.hide();
  }

  void Collect() {
    if (m_model.Count() > 0) m_model.Select(m_widget.value());
  }

 private:
  Fl_Choice m_widget;
  ComboBoxModel& m_model;
  std::vector<std::string> m_texts;
  std::vector<Fl_Menu_Item> m_items;
};

class EditBox {
 public:
  EditBox(ui::PixelRect r, EditModel& model) : m_widget(r.x, r.y, r.width, r.height), m_model(model) {
    m_widget.textfont(kFont);
    m_widget.textsize(kFontSize);
  }

  void Show() {
    m_widget.value(ToUtf8(m_model.m_strText).c_str());
    m_model.m_bVisible ? m_widget.show() : m_widget.hide();
  }

  void Collect() { m_model.m_strText = FromUtf8(m_widget.value()); }

 private:
  Fl_Input m_widget;
  EditModel& m_model;
};

class StaticText {
 public:
  explicit StaticText(TitledControl control)
      : m_widget(control.rect.x, control.rect.y, control.rect.width, control.rect.height) {
    m_widget.labelfont(kFont);
    m_widget.labelsize(kFontSize);
    m_widget.align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
    Set(control.text);
  }
  void Set(const std::string& text) { m_widget.copy_label(text.c_str()); }

 private:
  Fl_Box m_widget;
};

class ImageButton {
 public:
  ImageButton(int id, ui::EmbeddedImage image, const char* name)
      : m_widget(PixelsOf(id).x, PixelsOf(id).y, PixelsOf(id).width, PixelsOf(id).height),
        m_image(name, image.data, static_cast<int>(image.size)) {
    const ui::TemplateControl& control = *ui::FindTemplateControl(id);
    m_widget.copy_label(control.text);
    m_widget.labelfont(kFont);
    m_widget.labelsize(kFontSize);
    if (m_image.fail() == 0) {
      m_widget.image(m_image);
      m_widget.align(FL_ALIGN_IMAGE_NEXT_TO_TEXT);
    }
  }
  Fl_Button& Widget() { return m_widget; }

 private:
  Fl_Button m_widget;
  Fl_PNG_Image m_image;
};

class ConfigDialogWindow {
 public:
  explicit ConfigDialogWindow(ui::CDialogConfig& dialog)
      : m_dialog(dialog),
        m_window(ui::DialogUnitsAcross(ui::kDialogWidth), ui::DialogUnitsDown(ui::kDialogHeight), ui::kDialogTitle),
        m_connectionFrame(Titled("Connection")),
        m_connectionTypeLabel(Titled("Connection Type:")),
        m_connectionType(PixelsOf(IDC_CONNECTION_TYPE), dialog.m_cbConnectionType),
        m_caption1({PixelsOf(IDC_ROW1_CAPTION), ""}),
        m_serialPort(PixelsOf(IDC_ROW1_PLACEHOLDER), dialog.m_cbSerialPort),
        m_socketType(PixelsOf(IDC_ROW1_PLACEHOLDER), dialog.m_cbSocketType),
        m_caption2({PixelsOf(IDC_ROW2_CAPTION), ""}),
        m_serialSpeed(PixelsOf(IDC_ROW2_PLACEHOLDER), dialog.m_cbSerialSpeed),
        m_hostIp(PixelsOf(IDC_ROW2_PLACEHOLDER), dialog.m_edHostIp),
        m_caption3({PixelsOf(IDC_ROW3_CAPTION), ""}),
        m_serialFormat(PixelsOf(IDC_ROW3_PLACEHOLDER), dialog.m_cbSerialFormat),
        m_hostIpPort(PixelsOf(IDC_ROW3_PLACEHOLDER), dialog.m_edHostIpPort),
        m_advancedFrame(Titled("Advanced")),
        m_crcCheckLabel(Titled("CRC Check:")),
        m_crcCheck(PixelsOf(IDC_CRC_CHECK), dialog.m_cbCrcCheck),
        m_ok(ui::kIdOk, ui::OkButtonImage(), "ok.png"),
        m_cancel(ui::kIdCancel, ui::CancelButtonImage(), "cancel.png") {
    m_window.end();
    m_window.set_modal();
    m_window.callback(OnClose, this);  // the close box and Escape
    m_connectionType.Widget().callback(OnConnectionType, this);
    m_ok.Widget().shortcut(FL_Enter);
    m_ok.Widget().callback(OnOk, this);
    m_cancel.Widget().callback(OnClose, this);
  }

  DialogEnd Run() {
    m_dialog.OnInitDialog(SerialPortRegistryData());
    for (ChoiceBox* box : Choices()) box->LoadEntries();
    Show();
    m_window.show();
    while (m_end == DialogEnd::kFailed && m_window.shown()) Fl::wait();
    m_window.hide();
    return m_end;
  }

 private:
  std::vector<ChoiceBox*> Choices() {
    return {&m_connectionType, &m_serialPort, &m_socketType, &m_serialSpeed, &m_serialFormat, &m_crcCheck};
  }

  // Model to widgets.
  void Show() {
    for (ChoiceBox* box : Choices()) box->Show();
    m_hostIp.Show();
    m_hostIpPort.Show();
    m_caption1.Set(ToUtf8(m_dialog.m_strCaption1));
    m_caption2.Set(ToUtf8(m_dialog.m_strCaption2));
    m_caption3.Set(ToUtf8(m_dialog.m_strCaption3));
    m_window.redraw();
  }

  // Widgets to model.
  void Collect() {
    for (ChoiceBox* box : Choices()) box->Collect();
    m_hostIp.Collect();
    m_hostIpPort.Collect();
  }

  static void OnConnectionType(Fl_Widget*, void* self) {
    auto& window = *static_cast<ConfigDialogWindow*>(self);
    window.Collect();
    window.m_dialog.OnSelchangeConnectionType();
    window.Show();
  }
  static void OnOk(Fl_Widget*, void* self) {
    auto& window = *static_cast<ConfigDialogWindow*>(self);
    window.Collect();
    window.m_dialog.OnOK();
    window.m_end = DialogEnd::kOk;
  }
  static void OnClose(Fl_Widget*, void* self) { static_cast<ConfigDialogWindow*>(self)->m_end = DialogEnd::kCancel; }

  ui::CDialogConfig& m_dialog;
  DialogEnd m_end = DialogEnd::kFailed;  // until the user ends the dialog
  Fl_Double_Window m_window;
  GroupFrame m_connectionFrame;
  StaticText m_connectionTypeLabel;
  ChoiceBox m_connectionType;
  StaticText m_caption1;
  ChoiceBox m_serialPort, m_socketType;
  StaticText m_caption2;
  ChoiceBox m_serialSpeed;
  EditBox m_hostIp;
  StaticText m_caption3;
  ChoiceBox m_serialFormat;
  EditBox m_hostIpPort;
  GroupFrame m_advancedFrame;
  StaticText m_crcCheckLabel;
  ChoiceBox m_crcCheck;
  ImageButton m_ok, m_cancel;
};

// FLTK is one set of globals: one dialog at a time, whichever host thread asks.
std::mutex g_dialogInUse;

// FLTK keeps graphics contexts and fonts of its display for the life of the
// process, so the connection stays open once made and closes when the
// library is unloaded.
class DisplayConnection {
 public:
  ~DisplayConnection() {
    if (m_open) fl_close_display();
  }
  bool Open() {
    if (m_open) return true;
    // FLTK ends the process when it cannot reach a display; ask first.
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    fl_open_display(display);
    Fl::set_font(kFont, kFontName);
    m_open = true;
    return true;
  }

 private:
  bool m_open = false;
};
DisplayConnection g_display;

}  // namespace

DialogEnd RunConfigDialog(ui::CDialogConfig& dialog) {
  std::unique_lock<std::mutex> inUse(g_dialogInUse, std::try_to_lock);
  if (!inUse.owns_lock() || !g_display.Open()) return DialogEnd::kFailed;
  DialogEnd end = DialogEnd::kFailed;
  {
    ConfigDialogWindow window(dialog);
    end = window.Run();
  }
  Fl::flush();  // the window's removal reaches the server now, not at the next dialog
  return end;
}

}  // namespace vf::platform
