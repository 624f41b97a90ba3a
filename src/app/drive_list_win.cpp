#include "app/drive_list_win.h"

#include <windowsx.h>

#include "platform/win/gdi_scope.h"
#include "platform/win/utf.h"
#include "window/ui_font_win.h"
#include "window/window_helpers_win.h"

namespace plexi::app {

namespace {

constexpr int kIconSize = 32;
constexpr int kBadgeOffset = 16;
constexpr int kTextInset = 5;

struct Column {
  const wchar_t* heading;
  int width;  // 0: whatever the others leave
  int format;
  UINT align;
};
constexpr Column kColumns[] = {
    {L"製品名", 0, LVCFMT_LEFT, DT_LEFT},
    {L"タイプ", 50, LVCFMT_LEFT, DT_LEFT},
    {L"ドライブ文字", 100, LVCFMT_LEFT, DT_LEFT},
    {L"容量", 80, LVCFMT_RIGHT, DT_RIGHT},
    {L"消去方式", 80, LVCFMT_LEFT, DT_LEFT},
};
constexpr int kRightAlignedColumn = 3;

COLORREF Resolve(int32_t colour) {
  if (colour & kSystemColour) return GetSysColor(colour & 0xFF);
  return COLORREF(colour);  // already 0x00BBGGRR
}

std::string ColumnText(const DriveRow& row, int column) {
  return column == 0 ? row.caption : row.SubItem(column - 1);
}

void Line(HDC dc, int x0, int y0, int x1, int y1) {
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
}

}  // namespace

DriveListView::DriveListView(const Artwork& art, DriveView& model) : art_(art), model_(model) {}

bool DriveListView::Create(HWND parent, PressHandler on_press, SelectHandler on_select, win::Dpi dpi) {
  on_press_ = std::move(on_press);
  on_select_ = std::move(on_select);
  dpi_ = dpi;
  constexpr DWORD kStyle = WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                           LVS_SHAREIMAGELISTS;
  if (!list_.Create(parent, {WC_LISTVIEWW, L"", kStyle})) return false;
  MakeFonts();
  list_.SetFont(font_.get());
  SendMessageW(list_.hwnd(), LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  AddColumns();
  list_.HookMessages([this](UINT message, WPARAM wparam, LPARAM lparam) {
    return ListMessage(message, wparam, lparam);
  });
  list_.HookNotifications([this](UINT message, WPARAM, LPARAM lparam) { return Notified(message, lparam); });
  return true;
}

// The list's face, 13 pixels high; a stand-in face wider than the designed
// one is made just small enough for every heading to read in full at its
// column's width.
void DriveListView::MakeFonts() {
  const std::wstring face = win::AvailableFace(L"ＭＳ Ｐゴシック");
  const int height = dpi_.Scale(kFontHeight);
  const int smallest = dpi_.Scale(kFontHeight - 3);
  // The heading's own margins: three edges each side, as the header control draws.
  const int margins = 6 * GetSystemMetrics(SM_CXEDGE) + 2;
  auto screen = win::GetWindowDc(nullptr);
  const auto headings_fit = [&](HFONT font) {
    auto selected = win::SelectInto(screen.get(), font);
    for (const Column& column : kColumns) {
      SIZE text{};
      GetTextExtentPoint32W(screen.get(), column.heading, int(wcslen(column.heading)), &text);
      if (column.width > 0 && text.cx + margins > dpi_.Scale(column.width)) return false;
    }
    return true;
  };
  int h = height;
  font_ = win::MakeFont({face, -h});
  while (h > smallest && font_ && !headings_fit(font_.get())) font_ = win::MakeFont({face, -(--h)});
  // The rows are written in the "System" face where it has Japanese
  // letters; elsewhere in the list's own face.
  row_font_ = win::MakeUiFont(win::SystemFaceOr(L"ＭＳ Ｐゴシック"), height);
}

void DriveListView::SetDpi(win::Dpi dpi) {
  if (dpi == dpi_) return;
  dpi_ = dpi;
  MakeFonts();
  SendMessageW(list_.hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
  for (int i = 1; i < int(std::size(kColumns)); ++i)
    SendMessageW(list_.hwnd(), LVM_SETCOLUMNWIDTH, WPARAM(i), MAKELPARAM(dpi.Scale(kColumns[i].width), 0));
  SetRowHeight();
  FitProductColumn();
  Repaint();
}

// The shell's icons are 32 pixels at any density: off the design's the
// rows and icon places come from an empty list of the scaled size, and the
// icons are stretched to it when drawn.
void DriveListView::SetRowHeight() {
  if (dpi_ == win::Dpi()) {
    SendMessageW(list_.hwnd(), LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(system_icons_));
    return;
  }
  const int size = dpi_.Scale(kIconSize);
  row_spacer_.reset(ImageList_Create(size, size, ILC_COLOR32, 0, 0));
  SendMessageW(list_.hwnd(), LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(row_spacer_.get()));
}

void DriveListView::AddColumns() {
  for (int i = 0; i < int(std::size(kColumns)); ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    column.fmt = kColumns[i].format;
    column.cx = dpi_.Scale(kColumns[i].width);
    column.pszText = const_cast<wchar_t*>(kColumns[i].heading);
    column.iSubItem = i;
    SendMessageW(list_.hwnd(), LVM_INSERTCOLUMNW, WPARAM(i), reinterpret_cast<LPARAM>(&column));
  }
}

void DriveListView::SetImageList(HIMAGELIST system_icons) {
  system_icons_ = system_icons;
  SetRowHeight();
}

void DriveListView::Move(const RECT& area) {
  MoveWindow(list_.hwnd(), area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
  FitProductColumn();
}

// The product column takes the width the fixed columns leave.
void DriveListView::FitProductColumn() {
  int fixed = 0;
  for (const Column& column : kColumns) fixed += dpi_.Scale(column.width);
  RECT client;
  GetClientRect(list_.hwnd(), &client);
  const int remaining = client.right - fixed;
  SendMessageW(list_.hwnd(), LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(remaining > 40 ? remaining : 40, 0));
}

void DriveListView::SetTexts(int item, const DriveRow& row) {
  for (int column = 0; column < int(std::size(kColumns)); ++column) {
    std::wstring text = win::Utf8ToWide(ColumnText(row, column));
    LVITEMW entry{};
    entry.iSubItem = column;
    entry.pszText = text.data();
    SendMessageW(list_.hwnd(), LVM_SETITEMTEXTW, WPARAM(item), reinterpret_cast<LPARAM>(&entry));
  }
}

void DriveListView::Fill(const std::vector<int>& icons, std::optional<size_t> select) {
  filling_ = true;
  SendMessageW(list_.hwnd(), WM_SETREDRAW, FALSE, 0);
  SendMessageW(list_.hwnd(), LVM_DELETEALLITEMS, 0, 0);
  const std::vector<DriveRow>& rows = model_.Rows();
  for (size_t i = 0; i < rows.size(); ++i) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = int(i);
    item.pszText = const_cast<wchar_t*>(L"");
    item.iImage = i < icons.size() ? icons[i] : 0;
    const int at = int(SendMessageW(list_.hwnd(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (at >= 0) SetTexts(at, rows[i]);
  }
  if (select) {
    LVITEMW state{};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list_.hwnd(), LVM_SETITEMSTATE, WPARAM(*select), reinterpret_cast<LPARAM>(&state));
  }
  SendMessageW(list_.hwnd(), WM_SETREDRAW, TRUE, 0);
  filling_ = false;
  FitProductColumn();  // a vertical scroll bar may have come or gone
  Repaint();
}

void DriveListView::UpdateTexts() {
  const std::vector<DriveRow>& rows = model_.Rows();
  for (size_t i = 0; i < rows.size(); ++i) SetTexts(int(i), rows[i]);
  Repaint();
}

std::optional<size_t> DriveListView::Selected() const {
  const int item = int(SendMessageW(list_.hwnd(), LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
  if (item < 0 || size_t(item) >= model_.Rows().size()) return std::nullopt;
  return size_t(item);
}

void DriveListView::Repaint() const { InvalidateRect(list_.hwnd(), nullptr, TRUE); }

std::optional<LRESULT> DriveListView::Notified(UINT message, LPARAM lparam) {
  if (message != WM_NOTIFY) return std::nullopt;
  auto& header = *reinterpret_cast<NMHDR*>(lparam);
  if (header.code == NM_CUSTOMDRAW) return CustomDraw(reinterpret_cast<NMLVCUSTOMDRAW&>(header));
  if (header.code != LVN_ITEMCHANGED) return std::nullopt;
  const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
  const bool selection = (change.uChanged & LVIF_STATE) && ((change.uOldState ^ change.uNewState) & LVIS_SELECTED);
  if (selection && !filling_ && on_select_) on_select_();
  return 0;
}

LRESULT DriveListView::CustomDraw(NMLVCUSTOMDRAW& draw) {
  switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
      DrawRow(draw.nmcd.hdc, int(draw.nmcd.dwItemSpec));
      return CDRF_SKIPDEFAULT;
    default:
      return CDRF_DODEFAULT;
  }
}

// One row, painted off-screen in row coordinates and copied in one BitBlt.
void DriveListView::DrawRow(HDC target, int item) {
  const std::vector<DriveRow>& rows = model_.Rows();
  if (item < 0 || size_t(item) >= rows.size()) return;
  const DriveRow& row = rows[size_t(item)];
  RECT bounds{};
  bounds.left = LVIR_BOUNDS;
  if (!SendMessageW(list_.hwnd(), LVM_GETITEMRECT, WPARAM(item), reinterpret_cast<LPARAM>(&bounds))) return;
  const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
  HDC dc = row_buffer_.Prepare(target, width, height);
  if (dc == nullptr) return;
  SetViewportOrgEx(dc, -bounds.left, -bounds.top, nullptr);  // draw in list coordinates

  const bool selected =
      (SendMessageW(list_.hwnd(), LVM_GETITEMSTATE, WPARAM(item), LVIS_SELECTED) & LVIS_SELECTED) != 0;
  const RowPaint paint = RowPaintFor(RowStateOf(row, selected, GetFocus() == list_.hwnd()));
  ClearBottomLine(dc, bounds);
  {
    win::UniqueBrush brush = win::SolidBrush(Resolve(paint.background));
    win::UniquePen outline = win::SolidPen(RGB(0, 0, 0));
    auto use_brush = win::SelectInto(dc, brush.get());
    auto use_pen = win::SelectInto(dc, outline.get());
    Rectangle(dc, bounds.left, bounds.top, bounds.right, bounds.bottom - 1);
  }
  {
    win::UniquePen top = win::SolidPen(Resolve(paint.top_line));
    auto use_top = win::SelectInto(dc, top.get());
    Line(dc, bounds.left + 1, bounds.top + 1, bounds.right - 1, bounds.top + 1);
  }
  if (size_t(item) + 1 == rows.size()) {
    win::UniquePen last = win::SolidPen(Resolve(kLastRowLine));
    auto use_last = win::SelectInto(dc, last.get());
    Line(dc, bounds.left + 1, bounds.bottom - 1, bounds.right - 1, bounds.bottom - 1);
  }

  LVITEMW image{};
  image.mask = LVIF_IMAGE;
  image.iItem = item;
  SendMessageW(list_.hwnd(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&image));
  const int icon_x = bounds.left + dpi_.Scale(2), icon_y = bounds.top;
  if (system_icons_ != nullptr && dpi_ == win::Dpi()) {
    ImageList_DrawEx(system_icons_, image.iImage, dc, icon_x, icon_y, 0, 0, CLR_NONE,
                     selected ? CLR_DEFAULT : CLR_NONE,
                     ILD_TRANSPARENT | (paint.blend_icon ? ILD_BLEND50 : 0));
  } else if (system_icons_ != nullptr) {
    // Stretched: the shell has them at one size only.
    const int size = dpi_.Scale(kIconSize);
    if (HICON icon = ImageList_GetIcon(system_icons_, image.iImage, ILD_NORMAL)) {
      DrawIconEx(dc, icon_x, icon_y, icon, size, size, 0, nullptr, DI_NORMAL);
      DestroyIcon(icon);
    }
  }
  if (paint.erase_mark) ImageList_Draw(art_.erase_mark.get(), 0, dc, icon_x, icon_y, ILD_TRANSPARENT);
  const int badge = dpi_.Scale(kBadgeOffset);
  ImageList_Draw(art_.toolbar.get(), paint.badge, dc, icon_x + badge, icon_y + badge, ILD_TRANSPARENT);

  SetTextColor(dc, Resolve(paint.text));
  DrawRowText(dc, item, bounds, row);
  SetViewportOrgEx(dc, 0, 0, nullptr);
  BitBlt(target, bounds.left, bounds.top, width, height, dc, 0, 0, SRCCOPY);
}

// The row's fill stops one pixel short of its bottom, where the list's own
// background shows. The buffer is kept between rows, so that pixel row is
// cleared here: otherwise the last row's line would show under every row.
void DriveListView::ClearBottomLine(HDC dc, const RECT& bounds) const {
  COLORREF background = COLORREF(SendMessageW(list_.hwnd(), LVM_GETBKCOLOR, 0, 0));
  if (background == CLR_NONE) background = GetSysColor(COLOR_WINDOW);
  win::UniqueBrush brush = win::SolidBrush(background);
  const RECT line{bounds.left, bounds.bottom - 1, bounds.right, bounds.bottom};
  FillRect(dc, &line, brush.get());
}

void DriveListView::DrawRowText(HDC dc, int item, const RECT& bounds, const DriveRow& row) const {
  auto font = win::SelectInto(dc, row_font_ ? row_font_.get() : font_.get());
  SetBkMode(dc, TRANSPARENT);
  win::UniquePen black = win::SolidPen(RGB(0, 0, 0));
  auto use_black = win::SelectInto(dc, black.get());
  for (int column = 0; column < int(std::size(kColumns)); ++column) {
    RECT label{};
    label.top = column;
    label.left = LVIR_LABEL;
    if (!SendMessageW(list_.hwnd(), LVM_GETSUBITEMRECT, WPARAM(item), reinterpret_cast<LPARAM>(&label)))
      continue;
    label.top = bounds.top;
    label.bottom = bounds.bottom;
    if (column > 0) Line(dc, label.left - 1, label.top, label.left - 1, label.bottom - 1);
    if (column == kRightAlignedColumn) label.right -= dpi_.Scale(kTextInset);
    else label.left += dpi_.Scale(kTextInset);
    const std::wstring text = win::Utf8ToWide(ColumnText(row, column));
    DrawTextW(dc, text.c_str(), int(text.size()), &label,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_WORD_ELLIPSIS | kColumns[column].align);
  }
}

bool DriveListView::OnSetCursor() {
  POINT point;
  GetCursorPos(&point);
  ScreenToClient(list_.hwnd(), &point);
  LVHITTESTINFO hit{};
  hit.pt = point;
  const int item = int(SendMessageW(list_.hwnd(), LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (item < 0) return false;
  RECT icon{};
  icon.left = LVIR_ICON;
  SendMessageW(list_.hwnd(), LVM_GETITEMRECT, WPARAM(item), reinterpret_cast<LPARAM>(&icon));
  if (!model_.HandCursorAt(size_t(item), dpi_.Unscale(point.x), dpi_.Unscale(icon.right))) return false;
  SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
  return true;
}

std::optional<LRESULT> DriveListView::ListMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      // The list selects first; the rules then look at the new selection.
      const LRESULT result = list_.CallDefault(message, wparam, lparam);
      // The press rules measure in design pixels.
      if (on_press_) on_press_(dpi_.Unscale(GET_X_LPARAM(lparam)));
      return result;
    }
    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT && OnSetCursor()) return TRUE;
      return std::nullopt;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(list_.hwnd(), nullptr, FALSE);  // the selected row's colours depend on focus
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

}  // namespace plexi::app
