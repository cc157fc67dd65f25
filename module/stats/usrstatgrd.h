// CUserStatGrid: the user grid of the statistics window ("User Stat Result"). Drawing a
// row's online cell the first time asks the server whether that user is logged on and keeps
// the answer in the cell, so only rows that are shown cost a request; the version cell shows
// whether the user's client version is the one of the running client.
#pragma once

#include <cstdint>

#include "xfindgrid.h"

class CCoolToolTip;

namespace hrz {

class CUserStatGrid : public XPrdFindGrid {
 public:
  CUserStatGrid();

  // The version of the running client, which the version cells compare against.
  void SetClientVersion(std::int32_t version) { clientVersion_ = version; }
  // The columns of the grid configuration; the online mark's icon. After InitCtrls.
  void FindColumns();

  // Fills the grid with the users matching the typed words and tells the row count in tip.
  void DoQuickSearch(const char* text, CCoolToolTip* tip);

  BOOL DrawCellText(CDC* dc, int row, int col, const RECT& rect, const char* text) override;

 private:
  // "T" when the row's user is logged on now, else "F"; asks the server.
  const char* AskOnline(int row);
  void DrawOnline(CDC* dc, const RECT& rect, const char* text) const;
  void DrawVersion(CDC* dc, const RECT& rect, const char* text) const;

  std::int32_t clientVersion_ = 0;
  int onlineCol_ = -1;
  int versionCol_ = -1;
  int codeCol_ = -1;
  HICON onlineIcon_ = nullptr;
};

}  // namespace hrz
