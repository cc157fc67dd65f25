// XFuncPvgGrid: the privilege editor's grid, one row per catalogue entry. It shows one node
// of the organisation at a time: the node's own marks with who granted each, and the marks
// it inherits from every department and role above it. A double click grants or
// withdraws; a save sends the node's whole string.
//
// The "VIEW" and "MODI" cells hold two characters: "T" or "N" for the node's own mark,
// then "T" or "N" for a mark inherited from above. "CREATOR" holds the grantor's code.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "privileges/dwg_read_log.h"
#include "privileges/pvg_endpoint_columns.h"
#include "privileges/pvg_marks.h"
#include "xbomtree.h"
#include "xfindgrid.h"

struct XCliSendLock;

namespace hrz {

class XFuncPvgGrid : public XPrdFindGrid {
 public:
  XFuncPvgGrid();

  // Reads the catalogue into the rows (layout "Func Pvg Grid", every entry, in order) and
  // finds the editor's columns. owner parents the grid's messages.
  BOOL LoadCatalogue(CWnd* owner, const char* order);
  // Hides the rows whose code is in no token of list (split at "|", "," and ";", blanks
  // around a token dropped, tokens of 128 characters or more ignored); "" hides none.
  // Hidden rows are still loaded and saved.
  void ShowOnlyCodes(std::string_view list);
  // A plain yes/no right: the view column hidden, the modify column headed by header.
  void UseYesNoColumn(const char* header);
  // The mode's column of per-user endpoint settings, if it has one (after each catalogue
  // reading, which drops it).
  void AddEndpointColumn(PvgEditorMode mode) { endpoint_.Add(mode); }
  const PvgEndpointColumns& EndpointColumns() const { return endpoint_; }
  // Called after the shown node, its marks or the focused row changed.
  void SetChangeNotice(std::function<void()> notice) { notice_ = std::move(notice); }

  // The node whose rights are shown; -1 none.
  int ShownNid() const { return shownNid_; }
  // Shows nid's rights (nid below 1: none). False when the node's own rights cannot be
  // read: the rows then carry no marks and no node is shown.
  bool LoadNode(int nid);

  enum class SaveOutcome {
    kSaved,
    kUnchanged,  // nothing was sent
    kUnplaced,   // a mark on an entry without a storable position; UnplacedCode names it
    kFailed,
  };
  // Sends the shown node's string when it changed, under lock (null: its own).
  SaveOutcome SaveShownNode(XCliSendLock* lock);
  const std::string& UnplacedCode() const { return unplacedCode_; }
  // True when the rows hold rights the server does not have for the shown node.
  bool IsShownNodeChanged() const;
  // Before another node is shown: saves this one; when that fails, asks whether to go on
  // without the marks. True to go on, false to stay with them.
  bool SaveBeforeLeaving();
  // A save sent something since the grid was made.
  bool SavedAny() const { return savedAny_; }
  // Tells why a save failed: the entry without a position, or "save error".
  void ShowSaveFailure(SaveOutcome outcome);

  // The row's description ("UUSRFN.CDESC", trimmed, at most 1023 characters).
  std::string RowDescription(int row) const;
  // Which departments and roles give the row's inherited marks; "" when none does.
  std::string RowInheritance(int row) const;

  int ViewCol() const { return viewCol_; }
  int ModifyCol() const { return modifyCol_; }
  int CreatorCol() const { return creatorCol_; }

  BOOL DrawCellText(CDC* dc, int row, int col, const RECT& rect, const char* text) override;

 protected:
  void OnDblClickCell(int row, int col) override;
  void OnRowColChange(int oldRow, int oldCol, int newRow, int newCol) override;

 private:
  struct Inherited {
    std::vector<std::string> view;  // labels of the departments and roles giving it
    std::vector<std::string> modify;
  };
  // What a load puts into a row's cells.
  struct RowCells {
    std::string view = "NN";
    std::string modify = "NN";
    std::string grantor;
  };
  std::string Cell(int row, int col) const;
  // The view, modify and position columns, without which no string can be built.
  bool HasMarkColumns() const;
  std::vector<RowMarks> RowsForSave() const;
  void AddOwnMarks(const std::vector<std::uint32_t>& grantors, std::vector<RowCells>* cells);
  void AddInheritedMarks(XCliSendLock* lock, std::vector<RowCells>* cells);
  // Writes a cell only when its text changes: each write redraws it.
  void SetCellText(int row, int col, const std::string& text);
  void Notify();

  CWnd* owner_ = nullptr;
  int codeCol_ = -1;
  int positionCol_ = -1;
  int viewCol_ = -1;
  int modifyCol_ = -1;
  int creatorCol_ = -1;
  int shownNid_ = -1;
  std::string loadedMarks_;
  std::vector<int> positions_;        // by row: PositionOfCell of its "NFNCHR"
  XBOMTree above_;                    // climbs from the shown node to its ancestors
  std::vector<Inherited> inherited_;  // by row
  std::string unplacedCode_;
  bool savedAny_ = false;
  DwgReadLog dwgReadLog_;
  HICON ownIcon_ = nullptr;
  HICON inheritedIcon_ = nullptr;
  std::function<void()> notice_;
  PvgEndpointColumns endpoint_{*this};
};

}  // namespace hrz
