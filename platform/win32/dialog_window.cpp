// A dialog as a real Windows dialog on a template of this DLL. The run-time
// controls are laid over the template's placeholders; the models hold every
// value, the controls only show them.
#include "dialog_window.h"

#include <windows.h>
#include <wincodec.h>

#include <vector>

#include "win32_text.h"

namespace vf::platform {
namespace {

using win32::Wide;

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

// A PNG resource as a 32-bit premultiplied bitmap, as image buttons take it.
HBITMAP LoadPngBitmap(HMODULE module, int id) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
  if (found == nullptr) return nullptr;
  auto* bytes = static_cast<BYTE*>(LockResource(LoadResource(module, found)));
  const DWORD size = SizeofResource(module, found);
  IWICImagingFactory* factory = nullptr;
  IWICStream* stream = nullptr;
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  IWICFormatConverter* converter = nullptr;
  HBITMAP bitmap = nullptr;
  UINT width = 0, height = 0;
  if (bytes != nullptr &&
      SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                 reinterpret_cast<void**>(&factory))) &&
      SUCCEEDED(factory->CreateStream(&stream)) && SUCCEEDED(stream->InitializeFromMemory(bytes, size)) &&
      SUCCEEDED(factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnLoad, &decoder)) &&
      SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
      SUCCEEDED(converter->Initialize(frame, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                      WICBitmapPaletteTypeCustom)) &&
      SUCCEEDED(converter->GetSize(&width, &height))) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (bitmap != nullptr && FAILED(converter->CopyPixels(nullptr, width * 4, width * height * 4,
                                                          static_cast<BYTE*>(pixels)))) {
      DeleteObject(bitmap);
      bitmap = nullptr;
    }
  }
  for (IUnknown* object : std::initializer_list<IUnknown*>{converter, frame, decoder, stream, factory}) {
    if (object != nullptr) object->Release();
  }
  return bitmap;
}

class DialogWindow {
 public:
  DialogWindow(const DialogContent& content, DialogEvents& events) : m_content(content), m_events(events) {}

  DialogEnd Run() {
    // The host's own activation context may lack Common Controls 6; the
    // library's manifest asks for them while the dialog exists.
    ACTCTXW context{};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.hModule = ThisModule();
    context.lpResourceName = MAKEINTRESOURCEW(m_content.manifestId);
    HANDLE activation = CreateActCtxW(&context);
    ULONG_PTR cookie = 0;
    const bool activated = activation != INVALID_HANDLE_VALUE && ActivateActCtx(activation, &cookie);
    const INT_PTR result = DialogBoxParamW(ThisModule(), MAKEINTRESOURCEW(m_content.templateId), nullptr, Procedure,
                                           reinterpret_cast<LPARAM>(this));
    if (activated) DeactivateActCtx(0, cookie);
    if (activation != INVALID_HANDLE_VALUE) ReleaseActCtx(activation);
    return result == IDOK ? DialogEnd::kOk : result == IDCANCEL ? DialogEnd::kCancel : DialogEnd::kFailed;
  }

 private:
  // A model's combo box and the window that shows it; `shown[i]` is the
  // window's index of the model's entry i (a sorted box reorders them).
  struct Combo {
    int id;
    ComboBoxModel* model;
    HWND window;
    std::vector<LRESULT> shown;
  };
  struct Edit {
    EditModel* model;
    HWND window;
  };

  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(window, DWLP_USER, lParam);
    auto* self = reinterpret_cast<DialogWindow*>(GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr) return FALSE;
    switch (message) {
      case WM_INITDIALOG: self->OnInitDialog(window); return TRUE;
      case WM_COMMAND: return self->OnCommand(LOWORD(wParam), HIWORD(wParam));
      case WM_DESTROY: self->ReleaseImages(); return FALSE;
    }
    return FALSE;
  }

  void OnInitDialog(HWND window) {
    m_window = window;
    for (const DialogContent::Combo& combo : m_content.combos) {
      HWND control = IsTemplateComboBox(combo.placeId) ? GetDlgItem(window, combo.placeId)
                                                       : SwapInComboBox(combo.placeId, combo.controlId);
      m_combos.push_back({combo.controlId, combo.model, control, {}});
    }
    for (const DialogContent::Edit& edit : m_content.edits) {
      m_edits.push_back({edit.model, SwapInEdit(edit.placeId, edit.controlId)});
    }
    m_events.Initialized();
    for (Combo& combo : m_combos) Fill(combo);
    for (const DialogContent::Image& image : m_content.images) {
      HBITMAP bitmap = LoadPngBitmap(ThisModule(), image.pngResourceId);
      if (bitmap == nullptr) continue;
      m_images.push_back(bitmap);
      SendDlgItemMessageW(window, image.buttonId, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
    }
    Show();
  }

  INT_PTR OnCommand(WORD id, WORD notification) {
    if (notification == CBN_SELCHANGE) {
      Collect();
      m_events.SelectionChanged(id);
      Show();
      return TRUE;
    }
    if (id == IDOK && notification == BN_CLICKED) {
      Collect();
      m_events.Confirmed();
      EndDialog(m_window, IDOK);
      return TRUE;
    }
    if (id == IDCANCEL) {
      EndDialog(m_window, IDCANCEL);
      return TRUE;
    }
    return FALSE;
  }

  bool IsTemplateComboBox(int id) const {
    for (const TemplateControl& control : m_content.controls) {
      if (control.id == id) return control.kind == ControlKind::kComboBox;
    }
    return false;
  }

  // Where a placeholder lies, in the dialog's client coordinates.
  bool PlaceholderRect(int id, RECT& rect) {
    HWND placeholder = GetDlgItem(m_window, id);
    if (placeholder == nullptr || !GetWindowRect(placeholder, &rect)) return false;
    MapWindowPoints(nullptr, m_window, reinterpret_cast<POINT*>(&rect), 2);
    return true;
  }

  HWND CreateOver(int placeholderId, const wchar_t* windowClass, LONG style, LONG extendedStyle, int id) {
    RECT rect{};
    if (!PlaceholderRect(placeholderId, rect)) return nullptr;
    HWND control = CreateWindowExW(static_cast<DWORD>(extendedStyle), windowClass, L"",
                                   static_cast<DWORD>(style) & ~WS_VISIBLE, rect.left, rect.top,
                                   rect.right - rect.left, rect.bottom - rect.top, m_window,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ThisModule(), nullptr);
    if (control != nullptr) SendMessageW(control, WM_SETFONT, SendMessageW(m_window, WM_GETFONT, 0, 0), FALSE);
    return control;
  }

  // A combo box styled as the template's first combo box.
  HWND SwapInComboBox(int placeholderId, int id) {
    HWND model = nullptr;
    for (const TemplateControl& control : m_content.controls) {
      if (model == nullptr && control.kind == ControlKind::kComboBox) model = GetDlgItem(m_window, control.id);
    }
    return CreateOver(placeholderId, L"COMBOBOX", GetWindowLongW(model, GWL_STYLE), GetWindowLongW(model, GWL_EXSTYLE),
                      id);
  }

  // An edit box styled as its placeholder.
  HWND SwapInEdit(int placeholderId, int id) {
    HWND placeholder = GetDlgItem(m_window, placeholderId);
    if (placeholder == nullptr) return nullptr;
    return CreateOver(placeholderId, L"EDIT", GetWindowLongW(placeholder, GWL_STYLE),
                      GetWindowLongW(placeholder, GWL_EXSTYLE), id);
  }

  static void Fill(Combo& combo) {
    combo.shown.clear();
    for (const ComboBoxModel::Entry& entry : combo.model->Entries()) {
      const LRESULT index =
          SendMessageW(combo.window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(entry.text.c_str())));
      SendMessageW(combo.window, CB_SETITEMDATA, static_cast<WPARAM>(index), entry.value);
      combo.shown.push_back(index);
    }
  }

  // Models to controls.
  void Show() {
    for (Combo& combo : m_combos) {
      const int selected = combo.model->Selected();
      const LRESULT index = selected >= 0 && selected < static_cast<int>(combo.shown.size()) ? combo.shown[selected] : -1;
      SendMessageW(combo.window, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
      ShowWindow(combo.window, combo.model->m_bVisible ? SW_SHOW : SW_HIDE);
    }
    for (const Edit& edit : m_edits) {
      SetWindowTextW(edit.window, Wide(edit.model->m_strText));
      ShowWindow(edit.window, edit.model->m_bVisible ? SW_SHOW : SW_HIDE);
    }
    for (const DialogContent::Text& text : m_content.texts) SetDlgItemTextW(m_window, text.id, Wide(*text.text));
  }

  // Controls to models.
  void Collect() {
    for (Combo& combo : m_combos) {
      const LRESULT index = SendMessageW(combo.window, CB_GETCURSEL, 0, 0);
      int entry = -1;
      for (size_t i = 0; i < combo.shown.size(); ++i) {
        if (combo.shown[i] == index) entry = static_cast<int>(i);
      }
      combo.model->Select(entry);
    }
    for (const Edit& edit : m_edits) edit.model->m_strText = TextOf(edit.window);
  }

  static std::u16string TextOf(HWND control) {
    std::u16string text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, u'\0');
    text.resize(static_cast<size_t>(
        GetWindowTextW(control, reinterpret_cast<wchar_t*>(text.data()), static_cast<int>(text.size()))));
    return text;
  }

  void ReleaseImages() {
    for (HBITMAP image : m_images) DeleteObject(image);
    m_images.clear();
  }

  const DialogContent& m_content;
  DialogEvents& m_events;
  HWND m_window = nullptr;
  std::vector<Combo> m_combos;
  std::vector<Edit> m_edits;
  std::vector<HBITMAP> m_images;
};

// One dialog at a time, as on the other platform.
LONG g_dialogInUse = 0;

}  // namespace

DialogEnd RunDialog(const DialogContent& content, DialogEvents& events) {
  if (InterlockedCompareExchange(&g_dialogInUse, 1, 0) != 0) return DialogEnd::kFailed;
  // WIC needs COM on this thread; a host that has it already keeps its own.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  DialogEnd end = DialogEnd::kFailed;
  {
    DialogWindow window(content, events);
    end = window.Run();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  InterlockedExchange(&g_dialogInUse, 0);
  return end;
}

}  // namespace vf::platform
