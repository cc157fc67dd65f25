#include "xgrid.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>

#include "cdc.h"
#include "dialog_template.h"
#include "focus_delay.h"
#include "hrzcommon/text.h"
#include "xgrid_model.h"

using hrz::ui::XGridModel;

namespace {

// Hands every data cell to XGrid::DrawCellText first.
class XGridDelegate : public QStyledItemDelegate {
 public:
  XGridDelegate(XGrid* grid, QObject* parent) : QStyledItemDelegate(parent), grid_(grid) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    std::string text = grid_->GetItemString(index.row() + 1, index.column() + 1);
    const QRect& r = option.rect;
    RECT rect{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
    painter->save();
    CDC dc(painter);
    BOOL drawn = grid_->DrawCellText(&dc, index.row() + 1, index.column() + 1, rect, text.c_str());
    painter->restore();
    if (!drawn) QStyledItemDelegate::paint(painter, option, index);
  }

 private:
  XGrid* grid_;
};

}  // namespace

XGrid::XGrid()
    : model_(std::make_unique<XGridModel>()),
      view_(new QTableView),
      changes_(std::make_unique<hrz::ui::FocusDelay<XCellID>>(
          XCellID(), [this](XCellID before, XCellID now) {
            OnRowColChange(before.row, before.col, now.row, now.col);
          })) {
  Attach(view_);
  view_->setModel(model_.get());
  view_->setItemDelegate(new XGridDelegate(this, view_));
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setSelectionMode(QAbstractItemView::SingleSelection);
  view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  QObject* context = model_.get();
  QObject::connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, context,
                   [this] { changes_->Moved(GetFocusCell()); });
  QObject::connect(view_, &QTableView::doubleClicked, context, [this](const QModelIndex& at) {
    OnDblClickCell(at.row() + 1, at.column() + 1);
  });
}

XGrid::~XGrid() {
  Detach();
  delete view_.data();  // before the model it shows
}

QObject* XGrid::Context() const {
  return model_.get();
}

BOOL XGrid::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return PlaceView(view_, style, rect, parent, id);
}

bool XGrid::AutomationSelect(int index) {
  if (index < 1 || index >= GetRows()) return false;
  XCellID focus = GetFocusCell();
  ClickCell(index, focus.col > 0 ? focus.col : 1);
  return true;
}

bool XGrid::AutomationActivate(int index) {
  if (index < 1 || index >= GetRows()) return false;
  XCellID focus = GetFocusCell();
  DoubleClickCell(index, focus.col > 0 ? focus.col : 1);
  return true;
}

int XGrid::AutomationSelection() const {
  return GetFocusCell().row;
}

BOOL XGrid::SetRows(int rows, BOOL redraw) {
  if (rows < 1) return FALSE;
  // The view moves its current cell off removed rows; that is no change by the user.
  changes_->Quietly([&] { model_->SetRows(rows); }, [this] { return GetFocusCell(); });
  if (redraw) Refresh();
  return TRUE;
}

int XGrid::GetRows() const {
  return model_->Rows();
}

BOOL XGrid::SetCols(int cols) {
  if (cols < 1) return FALSE;
  model_->SetCols(cols);
  return TRUE;
}

int XGrid::GetCols() const {
  return model_->Cols();
}

int XGrid::InsertRow(const char* heading, int before) {
  if (before > GetRows()) return -1;
  int row = model_->InsertRow(before);
  SetItemText(row, 0, heading);
  return row;
}

BOOL XGrid::DeleteRow(int row, BOOL redraw) {
  if (row < 1 || row >= GetRows()) return FALSE;
  changes_->Quietly([&] { model_->DeleteRow(row); }, [this] { return GetFocusCell(); });
  if (redraw) Refresh();
  return TRUE;
}

BOOL XGrid::SetItemText(int row, int col, const char* text) {
  hrz::ui::XGridCell* cell = model_->Cell(row, col);
  if (cell == nullptr) return FALSE;
  cell->text = text != nullptr ? text : "";
  model_->CellChanged(row, col);
  return TRUE;
}

int XGrid::GetItemText(int row, int col, char* buffer, int capacity) const {
  const hrz::ui::XGridCell* cell = model_->Cell(row, col);
  if (cell == nullptr) return -1;
  hrz::CopyBounded(buffer, capacity, cell->text);
  return static_cast<int>(cell->text.size());
}

std::string XGrid::GetItemString(int row, int col) const {
  const hrz::ui::XGridCell* cell = model_->Cell(row, col);
  return cell != nullptr ? cell->text : std::string();
}

BOOL XGrid::SetItemBkColour(int row, int col, COLORREF colour) {
  hrz::ui::XGridCell* cell = model_->Cell(row, col);
  if (cell == nullptr) return FALSE;
  cell->bk = colour;
  model_->CellChanged(row, col);
  return TRUE;
}

BOOL XGrid::SetItemFgColour(int row, int col, COLORREF colour) {
  hrz::ui::XGridCell* cell = model_->Cell(row, col);
  if (cell == nullptr) return FALSE;
  cell->fg = colour;
  model_->CellChanged(row, col);
  return TRUE;
}

BOOL XGrid::SetRowData(int row, LPARAM data) {
  hrz::ui::XGridRow* r = model_->Row(row);
  if (r == nullptr || row == 0) return FALSE;
  r->data = data;
  return TRUE;
}

LPARAM XGrid::GetRowData(int row) const {
  const hrz::ui::XGridRow* r = model_->Row(row);
  return r != nullptr && row > 0 ? r->data : 0;
}

BOOL XGrid::SetRowTag(int row, const char* tag) {
  hrz::ui::XGridRow* r = model_->Row(row);
  if (r == nullptr || row == 0) return FALSE;
  r->tag = tag != nullptr ? tag : "";
  return TRUE;
}

std::string XGrid::GetRowTag(int row) const {
  const hrz::ui::XGridRow* r = model_->Row(row);
  return r != nullptr && row > 0 ? r->tag : std::string();
}

BOOL XGrid::SetColumnWidth(int col, int width) {
  if (col < 0 || col >= GetCols() || width < 0 || view_ == nullptr) return FALSE;
  if (col == 0) {
    view_->verticalHeader()->setVisible(width > 0);
    return TRUE;
  }
  view_->setColumnHidden(col - 1, width == 0);
  if (width > 0) view_->setColumnWidth(col - 1, width);
  return TRUE;
}

int XGrid::GetColumnWidth(int col) const {
  if (col < 0 || col >= GetCols() || view_ == nullptr) return -1;
  if (col == 0) return view_->verticalHeader()->isVisible() ? view_->verticalHeader()->width() : 0;
  return view_->isColumnHidden(col - 1) ? 0 : view_->columnWidth(col - 1);
}

BOOL XGrid::SetRowHeight(int row, int height) {
  hrz::ui::XGridRow* r = model_->Row(row);
  if (r == nullptr || height < 0 || view_ == nullptr) return FALSE;
  r->height = height;
  if (row == 0) {
    view_->horizontalHeader()->setVisible(height > 0);
    return TRUE;
  }
  view_->setRowHidden(row - 1, height == 0);
  if (height > 0) view_->setRowHeight(row - 1, height);
  return TRUE;
}

int XGrid::GetRowHeight(int row) const {
  const hrz::ui::XGridRow* r = model_->Row(row);
  if (r == nullptr || view_ == nullptr) return -1;
  if (r->height == 0) return 0;
  if (row == 0) return view_->horizontalHeader()->height();
  return view_->rowHeight(row - 1);
}

XCellID XGrid::GetFocusCell() const {
  if (view_ == nullptr) return XCellID();
  QModelIndex current = view_->currentIndex();
  if (!current.isValid()) return XCellID();
  return XCellID(current.row() + 1, current.column() + 1);
}

BOOL XGrid::SetFocusCell(int row, int col, BOOL notify) {
  if (view_ == nullptr) return FALSE;
  QModelIndex at = row < 1 ? QModelIndex() : model_->index(row - 1, col > 0 ? col - 1 : 0);
  if (row >= 1 && !at.isValid()) return FALSE;
  XCellID old = GetFocusCell();
  changes_->Quietly([&] { view_->setCurrentIndex(at); }, [this] { return GetFocusCell(); });
  XCellID now = GetFocusCell();
  if (notify) OnRowColChange(old.row, old.col, now.row, now.col);
  return TRUE;
}

void XGrid::SetListMode(BOOL listMode) {
  listMode_ = listMode != FALSE;
  if (view_ == nullptr) return;
  view_->setSelectionBehavior(listMode_ ? QAbstractItemView::SelectRows
                                        : QAbstractItemView::SelectItems);
}

void XGrid::SetRedraw(BOOL redraw) {
  if (view_ == nullptr) return;
  view_->setUpdatesEnabled(redraw != FALSE);
}

void XGrid::Refresh() {
  if (view_ == nullptr) return;
  view_->viewport()->update();
}

void XGrid::SetRowColChangeInterval(int milliseconds) {
  changes_->SetInterval(milliseconds);
}

void XGrid::SetGridEventFunc(GridEventFunc func, void* userData) {
  eventFunc_ = func;
  eventUserData_ = userData;
}

void XGrid::FireEvent(int event, int row, int col) {
  if (eventFunc_ != nullptr) eventFunc_(this, event, row, col, eventUserData_);
}

void XGrid::ClickCell(int row, int col) {
  XCellID old = GetFocusCell();
  if (SetFocusCell(row, col, FALSE)) OnRowColChange(old.row, old.col, row, col);
}

void XGrid::DoubleClickCell(int row, int col) {
  if (SetFocusCell(row, col, FALSE)) OnDblClickCell(row, col);
}

void XGrid::OnRowColChange(int, int, int newRow, int newCol) {
  FireEvent(XGRID_EVENT_ROWCOL, newRow, newCol);
}

void XGrid::OnDblClickCell(int row, int col) {
  FireEvent(XGRID_EVENT_DBLCLICK, row, col);
}

BOOL XGrid::DrawCellText(CDC*, int, int, const RECT&, const char*) {
  return FALSE;
}
