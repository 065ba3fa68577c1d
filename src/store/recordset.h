// Recordset: the rows of one statement with the cursor operations pages use (EOF, MoveNext,
// paging, AddNew/Update/Delete, GetRows/GetString). Field names match without regard to case; when
// a statement returns one name twice, the later column answers that name.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/variant.h"
#include "store/connection.h"

namespace cb {

class RecordsetImpl;

class Recordset {
 public:
  Recordset();
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // Opens sql on con. A static cursor over an ordered select that is read one page at a time
  // counts the rows first and fetches only the window; "select * from T where 1=0" style opens
  // for AddNew read nothing.
  void Open(const std::string& sql, Connection& con, int cursor_type = adOpenUnspecified,
            int lock_type = adLockUnspecified, int options = -1);
  int State() const;
  void Close();

  bool Eof() const;  // EOF is a C macro: the legacy property is spelled Eof here
  bool Bof() const;
  void MoveNext();
  void MoveFirst();

  // Value of a column of the current row (or of the row being added). Raises 3265 for an unknown
  // name and 3021 when there is no current row.
  Variant operator()(std::string_view name) const { return Fields(name); }
  Variant Fields(std::string_view name) const;
  Variant Fields(int index) const;
  int FieldCount() const;
  std::string FieldName(int index) const;
  // Assigns a column of the current row or of the row being added; written at Update.
  void Set(std::string_view name, Variant value);

  long RecordCount() const;  // -1 for a forward-only cursor, as the legacy layer reports
  // PageSize and CacheSize may be set before Open, as pages do; they apply when it opens.
  int PageSize() const;
  void SetPageSize(int n);
  int CacheSize() const;
  void SetCacheSize(int n);
  int PageCount() const;
  int AbsolutePage() const;
  void SetAbsolutePage(int page);

  void AddNew();
  void Update();
  void Delete();  // deletes the current row

  // All remaining rows: an array of columns by rows, as the legacy GetRows returns it.
  Array2D GetRows();
  // Remaining rows as text: columns joined by col_sep, rows ended by row_sep, null as null_text.
  std::string GetString(std::string_view col_sep = "\t", std::string_view row_sep = "\r",
                        std::string_view null_text = "");

  // Rows read from the database so far (diagnostics: a page of a long list reads one window).
  long RowsRead() const;

  // Used by Connection::Execute to hand over an already-run statement.
  void AttachImpl(std::unique_ptr<RecordsetImpl> impl);

 private:
  void ApplySizes();

  std::unique_ptr<RecordsetImpl> impl_;
  int page_size_ = 0;  // set while closed; 0: not set
  int cache_size_ = 0;
};

}  // namespace cb
