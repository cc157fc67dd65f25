// XGrid on its own: the header row, hidden rows, deletion, focus and its events.
#include "xgrid.h"

#include "cdc.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QImage>
#include <QTableView>
#include <string>
#include <vector>

#include "support/qt_app.h"

namespace {

class RecordingGrid : public XGrid {
 public:
  struct Change {
    int oldRow, oldCol, newRow, newCol;
    bool operator==(const Change&) const = default;
  };
  std::vector<Change> changes;
  std::vector<std::pair<int, int>> doubleClicks;

 protected:
  void OnRowColChange(int oldRow, int oldCol, int newRow, int newCol) override {
    changes.push_back({oldRow, oldCol, newRow, newCol});
    XGrid::OnRowColChange(oldRow, oldCol, newRow, newCol);
  }
  void OnDblClickCell(int row, int col) override {
    doubleClicks.emplace_back(row, col);
    XGrid::OnDblClickCell(row, col);
  }
};

class XGridTest : public hrztest::QtTest {
 protected:
  void SetUp() override {
    tester_ = std::make_unique<QAbstractItemModelTester>(
        grid_.View()->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    grid_.SetCols(3);
    grid_.SetItemText(0, 1, "Code");
    grid_.SetItemText(0, 2, "Name");
    for (const char* code : {"a", "b", "c"}) {
      int row = grid_.InsertRow(nullptr);
      grid_.SetItemText(row, 1, code);
    }
  }

  RecordingGrid grid_;
  std::unique_ptr<QAbstractItemModelTester> tester_;
};

TEST_F(XGridTest, RowZeroIsTheHeaderAndNeverAViewRow) {
  EXPECT_EQ(grid_.GetRows(), 4);
  EXPECT_EQ(grid_.View()->model()->rowCount(), 3);
  EXPECT_EQ(grid_.View()->model()->headerData(0, Qt::Horizontal).toString(), "Code");
  EXPECT_EQ(grid_.View()->model()->data(grid_.View()->model()->index(0, 0)).toString(), "a");
  EXPECT_EQ(grid_.GetItemString(1, 1), "a");
  // The header cannot be deleted or carry row data.
  EXPECT_FALSE(grid_.DeleteRow(0));
  EXPECT_FALSE(grid_.SetRowData(0, 7));
  EXPECT_EQ(grid_.GetRowData(0), 0);
  EXPECT_FALSE(grid_.SetFocusCell(0, 1) && grid_.GetFocusCell().row == 0);
  ASSERT_TRUE(grid_.SetRows(1));
  EXPECT_EQ(grid_.GetRows(), 1);
  EXPECT_EQ(grid_.GetItemString(0, 2), "Name");
  EXPECT_FALSE(grid_.SetRows(0));
}

TEST_F(XGridTest, RowsOfHeightZeroAreHiddenAndStayData) {
  ASSERT_TRUE(grid_.SetRowHeight(2, 0));
  EXPECT_TRUE(grid_.View()->isRowHidden(1));
  EXPECT_EQ(grid_.GetRowHeight(2), 0);
  EXPECT_EQ(grid_.GetItemString(2, 1), "b");
  EXPECT_GT(grid_.GetRowHeight(1), 0);
  // Deleting a row above moves the hidden row up with its state.
  ASSERT_TRUE(grid_.DeleteRow(1));
  EXPECT_EQ(grid_.GetItemString(1, 1), "b");
  EXPECT_TRUE(grid_.View()->isRowHidden(0));
  EXPECT_FALSE(grid_.View()->isRowHidden(1));
  ASSERT_TRUE(grid_.SetRowHeight(1, 30));
  EXPECT_FALSE(grid_.View()->isRowHidden(0));
  EXPECT_FALSE(grid_.SetRowHeight(9, 0));
}

TEST_F(XGridTest, WidthsColoursAndRowDataStayWithTheirCells) {
  ASSERT_TRUE(grid_.SetColumnWidth(2, 0));
  EXPECT_EQ(grid_.GetColumnWidth(2), 0);
  ASSERT_TRUE(grid_.SetColumnWidth(2, 140));
  EXPECT_EQ(grid_.GetColumnWidth(2), 140);
  ASSERT_TRUE(grid_.SetItemBkColour(3, 1, RGB(255, 0, 0)));
  QVariant brush =
      grid_.View()->model()->data(grid_.View()->model()->index(2, 0), Qt::BackgroundRole);
  EXPECT_EQ(brush.value<QBrush>().color(), QColor(255, 0, 0));
  ASSERT_TRUE(grid_.SetRowData(3, 42));
  ASSERT_TRUE(grid_.SetRowTag(3, "UUSRI"));
  grid_.DeleteRow(2);
  EXPECT_EQ(grid_.GetRowData(2), 42);
  EXPECT_EQ(grid_.GetRowTag(2), "UUSRI");
  char cell[2];
  EXPECT_EQ(grid_.GetItemText(2, 1, cell, sizeof cell), 1);
  EXPECT_EQ(grid_.GetItemText(5, 1, cell, sizeof cell), -1);
}

TEST_F(XGridTest, FocusChangesReachTheHandlerAfterTheInterval) {
  grid_.ClickCell(2, 1);
  grid_.ClickCell(3, 2);
  EXPECT_EQ(grid_.changes, (std::vector<RecordingGrid::Change>{{-1, -1, 2, 1}, {2, 1, 3, 2}}));
  grid_.SetFocusCell(1, 1, FALSE);
  EXPECT_EQ(grid_.changes.size(), 2u);
  grid_.DoubleClickCell(2, 2);
  EXPECT_EQ(grid_.doubleClicks, (std::vector<std::pair<int, int>>{{2, 2}}));

  grid_.SetRowColChangeInterval(60000);
  grid_.View()->setCurrentIndex(grid_.View()->model()->index(0, 0));
  EXPECT_EQ(grid_.changes.size(), 2u);  // still waiting
  grid_.SetRowColChangeInterval(0);
  grid_.View()->setCurrentIndex(grid_.View()->model()->index(1, 1));
  ASSERT_EQ(grid_.changes.size(), 3u);
  EXPECT_EQ(grid_.changes.back(), (RecordingGrid::Change{2, 2, 2, 2}));

  // Deleting the focused row moves the view's current cell; that is no change.
  ASSERT_TRUE(grid_.DeleteRow(2));
  EXPECT_EQ(grid_.GetFocusCell().row, 2);
  ASSERT_TRUE(grid_.SetRows(2));
  EXPECT_EQ(grid_.changes.size(), 3u);
}

// A grid that draws the cells of its second column itself.
class DrawingGrid : public XGrid {
 public:
  std::vector<std::pair<int, std::string>> drawn;  // (row, text) of column 2

  BOOL DrawCellText(CDC* dc, int row, int col, const RECT& rect, const char* text) override {
    if (col != 2) return FALSE;
    drawn.emplace_back(row, text);
    dc->FillSolidRect(rect, RGB(0, 0, 255));
    return TRUE;
  }
};

TEST(XGridDrawingTest, DataCellsPassThroughDrawCellText) {
  hrztest::App();
  DrawingGrid grid;
  grid.SetCols(3);
  grid.SetItemText(0, 2, "Heading");
  for (const char* name : {"x", "y"}) grid.SetItemText(grid.InsertRow(nullptr), 2, name);
  grid.View()->resize(300, 200);
  QImage image = grid.View()->grab().toImage();
  EXPECT_EQ(grid.drawn, (std::vector<std::pair<int, std::string>>{{1, "x"}, {2, "y"}}));
  // The cell shows what the override drew.
  QRect cell = grid.View()->visualRect(grid.View()->model()->index(0, 1));
  QPoint inside = grid.View()->viewport()->mapTo(grid.View(), cell.center());
  EXPECT_EQ(image.pixelColor(inside), QColor(0, 0, 255));
}

TEST_F(XGridTest, ListModeSelectsWholeRowsAndDrawingCanBeSwitchedOff) {
  grid_.SetListMode(TRUE);
  EXPECT_EQ(grid_.View()->selectionBehavior(), QAbstractItemView::SelectRows);
  grid_.SetRedraw(FALSE);
  EXPECT_FALSE(grid_.View()->updatesEnabled());
  grid_.SetRedraw(TRUE);
  EXPECT_TRUE(grid_.View()->updatesEnabled());
}

}  // namespace
