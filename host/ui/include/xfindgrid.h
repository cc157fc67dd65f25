// Grids bound to records. XRecObjGrid binds its columns to fields; XPrdFindGrid fills its
// rows from a find over the table of a host grid configuration; XUserFindGrid adds the
// filters of the organisation's user searches.
//
// Threads: DoFind and GetAll may be called from another thread; they then run on the
// grid's thread while the caller waits.
#pragma once

#include <string>
#include <vector>

#include "xgrid.h"

struct tagXCliDB;

class XRecObjGrid : public XGrid {
 public:
  XRecObjGrid();
  ~XRecObjGrid() override;

  void SetDB(tagXCliDB* db) { db_ = db; }
  tagXCliDB* GetDB() const { return db_; }

  // Grid column of a control name ("CCODE") or a bound field ("UUSR.CCODE"); -1 when none.
  int GetColByCtrlName(const char* ctrlName) const;
  int GetColByOrgFldName(const char* field) const;
  // Text of a data row's cell bound to field; FALSE when there is no such row or column.
  BOOL GetTextByOrgFld(int row, const char* field, char* buffer, int capacity) const;

 protected:
  struct Column {
    std::string kind;  // "text", "icon"
    std::string ctrlName;
    std::string field;
    std::string label;
    int width = 100;
    bool detailOnly = false;
  };
  // Makes the columns the grid's columns 1..n, with their headings and widths.
  void SetColumns(std::vector<Column> columns);
  const std::vector<Column>& Columns() const { return columns_; }
  void ApplyWidths(bool detail);

 private:
  tagXCliDB* db_ = nullptr;
  std::vector<Column> columns_;
};

class XPrdFindGrid : public XRecObjGrid {
 public:
  // One found row: its record's NID and kind and the texts of columns 1..n.
  struct FoundRow {
    int nid = -1;
    std::string kind;
    std::vector<std::string> cells;
  };

  // What a find reads, as a value taken from the grid: a worker thread keeps it, builds and
  // runs its statements without touching the grid, and hands the rows to the grid's thread.
  class Query {
   public:
    // The find's statement for where (empty: every row) and order (null or empty: the
    // configuration's order), without paging.
    std::string Sql(const char* where, const char* order = nullptr) const;
    // The rows of sql (a statement of Sql), at most limit of them (-1: all); more, when
    // given, tells whether the statement had further rows. False when the query failed.
    bool Read(tagXCliDB* db, const std::string& sql, int limit, std::vector<FoundRow>* rows,
              bool* more = nullptr) const;
    // The from and where part of Sql.
    std::string From(const char* where) const;
    const std::string& Table() const { return table_; }

   private:
    friend class XPrdFindGrid;
    std::string table_;
    std::string kindColumn_;
    std::string order_;
    std::string filter_;
    std::vector<std::string> fields_;  // per column; empty for a column bound to no field
  };

  XPrdFindGrid();

  // Takes table, columns and order from the host's grid configuration of that name.
  BOOL InitCtrls(const char* gridName);
  const char* GetGridName() const { return name_.c_str(); }
  const char* GetTableName() const { return table_.c_str(); }
  // Detail mode shows the configuration's detail columns too.
  void Detail(BOOL detail);
  // Rows read by one find before GetAll is needed (at least 1).
  void SetPageRows(int rows);

  // Finds rows of the table that meet where (empty: every row) and the grid's filter, in
  // order (null or empty: the configuration's order). Without append the grid is emptied
  // to its header first. count, when given, receives the number of matching rows. Returns
  // the number of rows added, -1 when the query failed.
  int DoFind(const char* where, const char* order, int* count, BOOL append);
  // Reads the rest of the last find's rows; the number added, -1 on failure.
  int GetAll(BOOL redraw);
  // Runs the find again for one data row, after its record changed: the first record that
  // meets where (and the grid's filter) takes the row's place, its heading kept. 1 when
  // replaced; 0 when no record meets it any more, and the row is deleted; -1 when row is not
  // a data row or the query failed, and the row stays as it was.
  int RefindRow(int row, const char* where);
  // The grid's find as a value (grid thread; valid until the next InitCtrls).
  Query MakeQuery() const;
  // Appends found rows after the last row, numbering their headings; the number added.
  int AppendFoundRows(std::vector<FoundRow> rows);
  BOOL HasMoreRows() const { return !pendingSql_.empty(); }

  // NID of a data row's record, with its table (33 bytes) and kind (17 bytes) when asked;
  // -1 for the header row, a bad row or a row without a record.
  int GetRecNID(int row, char* table = nullptr, char* kind = nullptr) const;
  // The database whose SQL functions apply (see xclisql_upper).
  const char* GetDbName() const { return "main"; }

  // The number of queries run so far; what the benchmark reads.
  long long QueryCount() const { return queries_; }

 protected:
  // A condition every find adds; empty for none.
  virtual std::string FindFilter() const { return {}; }

 private:
  int DoFindHere(const char* where, const char* order, int* count, BOOL append);
  int RefindRowHere(int row, const char* where);
  int ReadRows(const std::string& sql, int limit);

  std::string name_;
  std::string table_;
  std::string kindColumn_;
  std::string order_;
  std::string pendingSql_;  // the last find, when rows are left to read
  int pendingOffset_ = 0;
  int pageRows_ = 2000;
  bool detail_ = false;
  long long queries_ = 0;
};

class XUserFindGrid : public XPrdFindGrid {
 public:
  XUserFindGrid();

  // Which records a find may return (docs/widgets.md): 0 all rows; 1 users of any kind;
  // 2 departments and roles; 4 every record of the organisation, deleted users included;
  // 9 users ("UUSRI", "KQUSR") that are not deleted.
  void SetUserFilterType(int type) { filterType_ = type; }
  int GetUserFilterType() const { return filterType_; }

 protected:
  std::string FindFilter() const override;

 private:
  int filterType_ = 0;
};
