// A dialog as an FLTK window on X11, laid out from its template's dialog
// units. The models hold every value; the widgets only show them and hand
// the user's choices back.
#include "dialog_window.h"

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

#include <pthread.h>
#include <setjmp.h>
#include <signal.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ais_utf8.h"
#include "embedded_png.h"

namespace vf::platform {
namespace {

// Near "MS Shell Dlg" at 8 points: 11 pixels high and narrow enough for the
// template's label widths. Fontconfig falls back to its sans-serif face.
constexpr int kFontSize = 11;
constexpr Fl_Font kFont = FL_FREE_FONT;
constexpr const char* kFontName = " DejaVu Sans Condensed";

// Xlib ends the process when the connection to its display breaks (the X
// server ended, the session closed). Instead the dialog open then ends as
// failed, later ones fail at once, and the host lives on. FLTK may be in the
// middle of drawing when it happens and would go on with what the dead
// connection gave it, so the dialog's thread jumps out of Xlib at once; what
// FLTK held then is left as it is, never to be used again.
std::atomic<bool> g_displayLost{false};
thread_local sigjmp_buf* t_displayLostExit = nullptr;
bool DisplayLost() { return g_displayLost.load(); }
int NoteDisplayLost(Display*) {
  g_displayLost = true;
  if (t_displayLostExit != nullptr) siglongjmp(*t_displayLostExit, 1);
  return 0;
}
void KeepRunning(Display*, void*) { g_displayLost = true; }
constexpr double kDisplayCheckSeconds = 0.25;  // how soon a lost display ends the dialog

// A Windows group box: an etched frame whose caption interrupts its top edge.
class GroupFrame : public Fl_Box {
 public:
  GroupFrame(PixelRect r, const char* text) : Fl_Box(r.x, r.y, r.width, r.height) {
    copy_label(text);
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
  ChoiceBox(PixelRect r, ComboBoxModel& model) : m_widget(r.x, r.y, r.width, r.height), m_model(model) {
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
  EditBox(PixelRect r, EditModel& model) : m_widget(r.x, r.y, r.width, r.height), m_model(model) {
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
  StaticText(PixelRect r, const char* text) : m_widget(r.x, r.y, r.width, r.height) {
    m_widget.labelfont(kFont);
    m_widget.labelsize(kFontSize);
    m_widget.align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
    Set(text);
  }
  void Set(const std::string& text) { m_widget.copy_label(text.c_str()); }

 private:
  Fl_Box m_widget;
};

class ImageButton {
 public:
  ImageButton(PixelRect r, const char* text) : m_widget(r.x, r.y, r.width, r.height) {
    m_widget.copy_label(text);
    m_widget.labelfont(kFont);
    m_widget.labelsize(kFontSize);
  }
  Fl_Button& Widget() { return m_widget; }

  void SetImage(EmbeddedPng png) {
    if (png.size == 0) return;
    m_image = std::make_unique<Fl_PNG_Image>(nullptr, png.data, static_cast<int>(png.size));
    if (m_image->fail() != 0) return;
    m_widget.image(m_image.get());
    m_widget.align(FL_ALIGN_IMAGE_NEXT_TO_TEXT);
  }

 private:
  Fl_Button m_widget;
  std::unique_ptr<Fl_PNG_Image> m_image;
};

// The dialog manager's identifiers of the OK and Cancel buttons.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

class DialogWindow {
 public:
  DialogWindow(const DialogContent& content, DialogEvents& events)
      : m_content(content),
        m_events(events),
        m_window(DialogUnitsAcross(content.width), DialogUnitsDown(content.height), content.title) {
    // In the template's order, which is also the order of drawing.
    for (const TemplateControl& control : content.controls) AddControl(control);
    m_window.end();
    m_window.set_modal();
    m_window.callback(OnClose, this);  // the close box and Escape
  }

  DialogEnd Run() {
    m_events.Initialized();
    for (const auto& choice : m_choices) choice.box->LoadEntries();
    Show();
    m_window.show();
    while (m_end == DialogEnd::kFailed && m_window.shown() && !DisplayLost()) Fl::wait(kDisplayCheckSeconds);
    if (DisplayLost()) return DialogEnd::kFailed;  // nothing more can be drawn or hidden
    m_window.hide();
    return m_end;
  }

 private:
  struct Choice {
    int controlId;
    std::unique_ptr<ChoiceBox> box;
  };
  struct Caption {
    const std::u16string* text;
    StaticText* widget;
  };

  void AddControl(const TemplateControl& control) {
    const PixelRect rect = ToPixels(control.rect);
    switch (control.kind) {
      case ControlKind::kGroupBox:
        m_frames.push_back(std::make_unique<GroupFrame>(rect, control.text));
        break;
      case ControlKind::kStatic:
        m_texts.push_back(std::make_unique<StaticText>(rect, control.text));
        for (const DialogContent::Text& text : m_content.texts) {
          if (text.id == control.id) m_captions.push_back({text.text, m_texts.back().get()});
        }
        break;
      case ControlKind::kComboBox:
      case ControlKind::kEdit:  // a place for run-time controls; itself never shown
        AddControlsAt(control.id, rect);
        break;
      case ControlKind::kPushButton:
        AddButton(control, rect);
        break;
    }
  }

  void AddControlsAt(int placeId, PixelRect rect) {
    PixelRect closed = rect;
    closed.height = DialogUnitsDown(m_content.closedComboHeight);
    for (const DialogContent::Combo& combo : m_content.combos) {
      if (combo.placeId != placeId) continue;
      m_choices.push_back({combo.controlId, std::make_unique<ChoiceBox>(closed, *combo.model)});
      m_choices.back().box->Widget().callback(OnSelection, this);
    }
    for (const DialogContent::Edit& edit : m_content.edits) {
      if (edit.placeId == placeId) m_edits.push_back(std::make_unique<EditBox>(rect, *edit.model));
    }
  }

  void AddButton(const TemplateControl& control, PixelRect rect) {
    m_buttons.push_back(std::make_unique<ImageButton>(rect, control.text));
    ImageButton& button = *m_buttons.back();
    for (const DialogContent::Image& image : m_content.images) {
      if (image.buttonId == control.id) button.SetImage(EmbeddedPngResource(image.pngResourceId));
    }
    if (control.id == kIdOk) {
      button.Widget().shortcut(FL_Enter);
      button.Widget().callback(OnOk, this);
    } else if (control.id == kIdCancel) {
      button.Widget().callback(OnClose, this);
    }
  }

  // Models to widgets.
  void Show() {
    for (const auto& choice : m_choices) choice.box->Show();
    for (const auto& edit : m_edits) edit->Show();
    for (const Caption& caption : m_captions) caption.widget->Set(ToUtf8(*caption.text));
    m_window.redraw();
  }

  // Widgets to models.
  void Collect() {
    for (const auto& choice : m_choices) choice.box->Collect();
    for (const auto& edit : m_edits) edit->Collect();
  }

  static void OnSelection(Fl_Widget* widget, void* self) {
    auto& window = *static_cast<DialogWindow*>(self);
    window.Collect();
    for (const auto& choice : window.m_choices) {
      if (&choice.box->Widget() == widget) window.m_events.SelectionChanged(choice.controlId);
    }
    window.Show();
  }
  static void OnOk(Fl_Widget*, void* self) {
    auto& window = *static_cast<DialogWindow*>(self);
    window.Collect();
    window.m_events.Confirmed();
    window.m_end = DialogEnd::kOk;
  }
  static void OnClose(Fl_Widget*, void* self) { static_cast<DialogWindow*>(self)->m_end = DialogEnd::kCancel; }

  const DialogContent& m_content;
  DialogEvents& m_events;
  DialogEnd m_end = DialogEnd::kFailed;  // until the user ends the dialog
  Fl_Double_Window m_window;
  std::vector<std::unique_ptr<GroupFrame>> m_frames;
  std::vector<std::unique_ptr<StaticText>> m_texts;
  std::vector<Caption> m_captions;
  std::vector<Choice> m_choices;
  std::vector<std::unique_ptr<EditBox>> m_edits;
  std::vector<std::unique_ptr<ImageButton>> m_buttons;
};

// SIGPIPE blocked on the calling thread while the object lives; one raised
// meanwhile is taken before the mask is put back, so it is never delivered.
class PipeSignalHeld {
 public:
  PipeSignalHeld() {
    sigemptyset(&m_pipe);
    sigaddset(&m_pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &m_pipe, &m_previous);
  }
  ~PipeSignalHeld() {
    const timespec now{0, 0};
    while (sigtimedwait(&m_pipe, nullptr, &now) == SIGPIPE) {
    }
    pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
  }
  PipeSignalHeld(const PipeSignalHeld&) = delete;
  PipeSignalHeld& operator=(const PipeSignalHeld&) = delete;

 private:
  sigset_t m_pipe{}, m_previous{};
};

// FLTK is one set of globals: one dialog at a time, whichever host thread asks.
std::mutex g_dialogInUse;

// FLTK keeps graphics contexts and fonts of its display for the life of the
// process, so the connection stays open once made and closes when the
// library is unloaded.
class DisplayConnection {
 public:
  ~DisplayConnection() {
    if (!m_open) return;
    if (!DisplayLost()) fl_close_display();
    XSetIOErrorHandler(m_previousHandler);  // ours must not outlive this library
  }
  bool Open() {
    if (DisplayLost()) return false;
    if (m_open) return true;
    // FLTK ends the process when it cannot reach a display; ask first.
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    m_previousHandler = XSetIOErrorHandler(nullptr);  // the host's, put back at unload
    fl_open_display(display);
    XSetIOErrorHandler(NoteDisplayLost);  // after FLTK's own, which ends the process
    XSetIOErrorExitHandler(display, KeepRunning, nullptr);
    Fl::set_font(kFont, kFontName);
    m_open = true;
    return true;
  }

 private:
  bool m_open = false;
  XIOErrorHandler m_previousHandler = nullptr;
};
DisplayConnection g_display;

}  // namespace

DialogEnd RunDialog(const DialogContent& content, DialogEvents& events) {
  std::unique_lock<std::mutex> inUse(g_dialogInUse, std::try_to_lock);
  if (!inUse.owns_lock()) return DialogEnd::kFailed;
  // A write to a server that went away raises SIGPIPE, which ends a host that
  // does not ignore it: held back on this thread, the write fails instead.
  const PipeSignalHeld held;
  sigjmp_buf lost;
  struct ExitPoint {
    ~ExitPoint() { t_displayLostExit = nullptr; }
  } exitPoint;
  if (sigsetjmp(lost, 0) != 0) return DialogEnd::kFailed;
  t_displayLostExit = &lost;
  if (!g_display.Open()) return DialogEnd::kFailed;
  // On the heap: a jump out of Xlib leaves it as it is, undestroyed.
  auto window = std::make_unique<DialogWindow>(content, events);
  const DialogEnd end = window->Run();
  window.reset();
  Fl::flush();  // the window's removal reaches the server now, not at the next dialog
  return end;
}

}  // namespace vf::platform
