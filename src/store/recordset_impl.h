// The record set's machinery: rows read in windows (a static cursor counts first and reads only
// the window a page asks for), the current position, and rows being added or changed.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "runtime/variant.h"
#include "store/connection.h"
#include "store/sql_translate.h"
#include "store/sql_value.h"

namespace cb {

class BackendStatement;

// Conversions between stored values and the host's: flags read as booleans, dates as dates.
Variant FromSql(ColumnKind kind, const SqlValue& v);
// Raises ScriptError when the value cannot be held by a column of that kind.
SqlValue ToSql(ColumnKind kind, const Variant& v, const std::string& column);

class RecordsetImpl {
 public:
  // A select run on con (its first window is read at once when eager).
  RecordsetImpl(Connection& con, std::shared_ptr<const Translation> tr, int cursor_type,
                int lock_type, bool eager);
  // A fixed result (the answer to "select @@identity").
  RecordsetImpl(Connection& con, std::vector<std::string> names, std::vector<Variant> row);

  bool Eof();
  bool Bof();
  void MoveNext();
  void MoveFirst();
  Variant Field(std::string_view name);
  Variant Field(int index);
  int FieldCount() const { return static_cast<int>(names_.size()); }
  std::string FieldName(int index) const;
  void Set(std::string_view name, Variant value);

  long RecordCount();
  int PageSize() const { return page_size_; }
  void SetPageSize(int n);
  int CacheSize() const { return cache_size_; }
  void SetCacheSize(int n);
  int PageCount();
  int AbsolutePage();
  void SetAbsolutePage(int page);

  long RowsRead() const { return rows_read_; }
  void AddNew();
  void Update();
  void Delete();
  Array2D GetRows();
  std::string GetString(std::string_view col_sep, std::string_view row_sep,
                        std::string_view null_text);

 private:
  enum class Mode { kNone, kAdding, kEditing };

  Connection& Con();  // raises 3704 once the connection is closed
  int IndexOf(std::string_view name) const;
  bool RowAt(int64_t pos);  // reads the window holding pos; false past the end
  void LoadWindow(int64_t pos);
  const std::vector<Variant>& CurrentRow();
  void RequireUpdatable(const char* what) const;
  void Insert();
  void UpdateRow();
  template <typename F>
  auto Guard(F&& f) -> decltype(f());

  Connection* con_;
  std::weak_ptr<void> live_;
  std::shared_ptr<const Translation> tr_;
  bool static_ = false;  // RecordCount and paging through a count
  bool updatable_ = false;
  bool locator_ = false;  // the last column of each row locates it
  std::string window_sql_;
  std::vector<std::string> names_;
  std::vector<ColumnKind> kinds_;
  std::unordered_map<std::string, int> index_;  // lower-cased name -> the later column

  std::vector<std::vector<Variant>> rows_;  // the window, from row window_start_
  std::vector<SqlValue> locators_;
  std::vector<bool> deleted_;
  int64_t window_start_ = 0;
  int64_t total_ = -1;  // rows of the result once known
  bool fixed_ = false;  // every row is in rows_
  int64_t pos_ = 0;
  int64_t last_window_ = 0;
  long rows_read_ = 0;
  int page_size_ = 10;
  int cache_size_ = 1;
  bool page_size_set_ = false;

  Mode mode_ = Mode::kNone;
  std::vector<Variant> edit_;
  std::vector<bool> changed_;
  bool added_current_ = false;  // the row just added is current until the next move
  std::vector<Variant> added_row_;
};

}  // namespace cb
