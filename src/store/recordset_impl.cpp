// Record sets: windows of rows, paging, and changes written through the row's locator; the
// bounded count.
#include "store/recordset_impl.h"

#include <algorithm>

#include "runtime/convert.h"
#include "store/backend.h"
#include "store/bounded_count.h"
#include "store/data_sources.h"
#include "store/schema.h"
#include "store/store_error.h"

namespace cb {

namespace {

constexpr int64_t kMinWindow = 16;
constexpr int64_t kMaxWindow = 4096;
constexpr long kDeletedRow = -2147217885;  // 0x80040E23: the row handle names a deleted row

[[noreturn]] void NoCurrentRow() {
  throw ScriptError(
      err::kNoCurrentRecord,
      "BOF 或 EOF 中有一个是“真”，或者当前的记录已被删除，所需的操作要求一个当前的记录。",
      kStoreSource);
}

[[noreturn]] void NotWritable(const std::string& column) {
  throw ScriptError(store_err::kNotUpdatable, "字段 " + column + " 不是表的列，不能写入。",
                    kStoreSource);
}

// Binds the translation's parameters from `first` on (at their own numbers), then extra ones.
void BindAll(BackendStatement& st, const std::vector<SqlValue>& params,
             std::initializer_list<SqlValue> extra = {}, size_t first = 0) {
  int i = static_cast<int>(first);
  for (size_t k = first; k < params.size(); ++k) st.Bind(++i, params[k]);
  for (const SqlValue& v : extra) st.Bind(++i, v);
}

// Resets a statement however its use ends, so it never holds a read lock past a call.
struct ResetOnExit {
  BackendStatement& st;
  ~ResetOnExit() { st.Reset(); }
};

void AppendParams(std::string& key, const std::vector<SqlValue>& params, size_t first) {
  for (size_t k = first; k < params.size(); ++k) {
    const SqlValue& v = params[k];
    key += '\x1f';
    if (const int64_t* i = std::get_if<int64_t>(&v)) key += "i" + std::to_string(*i);
    if (const double* d = std::get_if<double>(&v)) key += "d" + std::to_string(*d);
    if (const std::string* s = std::get_if<std::string>(&v)) key += "s" + *s;
  }
}

// The window statement, its parameters and the window's place.
std::string WindowKey(const Translation& tr, const std::string& window_sql, int64_t limit,
                      int64_t pos) {
  std::string key = window_sql;
  AppendParams(key, tr.params, 0);
  key += "\x1fL" + std::to_string(limit) + "\x1fO" + std::to_string(pos);
  return key;
}

}  // namespace

template <typename F>
auto RecordsetImpl::Guard(F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const DatabaseError& e) {
    Con().Fail(e);
  }
}

RecordsetImpl::RecordsetImpl(Connection& con, std::shared_ptr<const Translation> tr,
                             int cursor_type, int lock_type, bool eager)
    : con_(&con), live_(con.liveness()), tr_(std::move(tr)) {
  static_ =
      cursor_type == adOpenStatic || cursor_type == adOpenKeyset || cursor_type == adOpenDynamic;
  updatable_ = lock_type == adLockOptimistic || lock_type == adLockPessimistic ||
               lock_type == adLockBatchOptimistic;
  locator_ = updatable_ && !tr_->table.empty();
  BackendConnection& be = con.backend();
  std::string body = locator_ ? tr_->BodyWithLocator(be.dialect()) : tr_->body;
  window_sql_ = body + be.dialect().Window(static_cast<int>(tr_->params.size()) + 1);
  Guard([&] {
    auto st = be.Prepare(window_sql_, tr_->original);
    int n = st->ColumnCount() - (locator_ ? 1 : 0);
    for (int i = 0; i < n; ++i) {
      names_.push_back(st->ColumnName(i));
      kinds_.push_back(st->KindOf(i));
      index_[ToLower(names_.back())] = i;  // a later column of one name wins
    }
  });
  if (eager) RowAt(0);
}

RecordsetImpl::RecordsetImpl(Connection& con, std::vector<std::string> names,
                             std::vector<Variant> row)
    : con_(&con), live_(con.liveness()), names_(std::move(names)) {
  for (size_t i = 0; i < names_.size(); ++i) {
    kinds_.push_back(ColumnKind::kUnknown);
    index_[ToLower(names_[i])] = static_cast<int>(i);
  }
  rows_.push_back(std::move(row));
  deleted_.push_back(false);
  total_ = 1;
  fixed_ = true;
}

Connection& RecordsetImpl::Con() {
  if (live_.expired()) {
    RaiseClosed();
  }
  return *con_;
}

int RecordsetImpl::IndexOf(std::string_view name) const {
  auto it = index_.find(ToLower(name));
  if (it == index_.end()) {
    throw ScriptError(err::kItemNotFound,
                      "在对应所需名称或序数的集合中，未找到项目。(" + std::string(name) + ")",
                      kStoreSource);
  }
  return it->second;
}

std::string RecordsetImpl::FieldName(int index) const {
  if (index < 0 || index >= FieldCount()) {
    throw ScriptError(err::kItemNotFound, "在对应所需名称或序数的集合中，未找到项目。",
                      kStoreSource);
  }
  return names_[index];
}

bool RecordsetImpl::RowAt(int64_t pos) {
  if (pos < 0) return false;
  if (pos >= window_start_ && pos < window_start_ + static_cast<int64_t>(rows_.size())) return true;
  if (fixed_ || (total_ >= 0 && pos >= total_)) return false;
  LoadWindow(pos);
  return pos < window_start_ + static_cast<int64_t>(rows_.size());
}

void RecordsetImpl::LoadWindow(int64_t pos) {
  // Reading on from the last window doubles it, so a long read costs a few queries.
  bool sequential = pos == window_start_ + static_cast<int64_t>(rows_.size()) && !rows_.empty();
  int64_t size = std::max<int64_t>({kMinWindow, cache_size_, page_size_set_ ? page_size_ : 0});
  if (sequential) size = std::max(size, std::min(kMaxWindow, last_window_ * 2));
  int64_t limit = size;
  if (tr_->top) limit = std::min(limit, std::max<int64_t>(0, *tr_->top - pos));
  std::vector<std::vector<Variant>> rows;
  std::vector<SqlValue> locators;
  // A read-only window of a paged (static) cursor outside a transaction is the same for every
  // page until the next write: a thread's page, a forum's page of topics.
  const bool shared = static_ && limit > 0 && !locator_ && !Con().backend().InTransaction();
  const auto read = [&] {
    std::vector<std::vector<Variant>> read_rows;
    Guard([&] {
      auto st = Con().backend().Prepare(window_sql_, tr_->original);
      ResetOnExit reset{*st};
      BindAll(*st, tr_->params, {SqlValue(limit), SqlValue(pos)});
      int n = FieldCount();
      while (st->Step()) {
        std::vector<Variant> row;
        row.reserve(n);
        for (int i = 0; i < n; ++i) row.push_back(FromSql(kinds_[i], st->Column(i)));
        read_rows.push_back(std::move(row));
        if (locator_) locators.push_back(st->Column(n));
      }
    });
    return read_rows;
  };
  if (shared) {
    rows = *Con().handle().SharedWindow(WindowKey(*tr_, window_sql_, limit, pos), read);
  } else if (limit > 0) {
    rows = read();
  }
  if (static_cast<int64_t>(rows.size()) < limit || limit == 0) {
    total_ = pos + static_cast<int64_t>(rows.size());
  }
  rows_read_ += static_cast<long>(rows.size());
  rows_ = std::move(rows);
  locators_ = std::move(locators);
  deleted_.assign(rows_.size(), false);
  window_start_ = pos;
  last_window_ = size;
}

const std::vector<Variant>& RecordsetImpl::CurrentRow() {
  if (added_current_) return added_row_;
  if (!RowAt(pos_)) NoCurrentRow();
  size_t i = static_cast<size_t>(pos_ - window_start_);
  if (deleted_[i]) throw ScriptError(kDeletedRow, "行句柄引用了一个已删除的行。", kStoreSource);
  return rows_[i];
}

bool RecordsetImpl::Eof() {
  if (mode_ == Mode::kAdding || added_current_) return false;
  return !RowAt(pos_);
}

bool RecordsetImpl::Bof() {
  if (mode_ == Mode::kAdding || added_current_) return false;
  return pos_ == 0 && !RowAt(0);
}

void RecordsetImpl::MoveNext() {
  if (mode_ != Mode::kNone) Update();
  if (added_current_) {
    added_current_ = false;
    return;
  }
  if (!RowAt(pos_)) NoCurrentRow();
  ++pos_;
}

void RecordsetImpl::MoveFirst() {
  if (mode_ != Mode::kNone) Update();
  added_current_ = false;
  pos_ = 0;
}

Variant RecordsetImpl::Field(std::string_view name) { return Field(IndexOf(name)); }

Variant RecordsetImpl::Field(int index) {
  if (index < 0 || index >= FieldCount()) FieldName(index);  // raises
  if (mode_ != Mode::kNone) return edit_[index];
  return CurrentRow()[index];
}

void RecordsetImpl::RequireUpdatable(const char* what) const {
  if (!updatable_ || tr_ == nullptr || tr_->table.empty()) {
    throw ScriptError(
        store_err::kNotUpdatable,
        std::string("当前记录集不支持更新。这可能是提供者的限制，也可能是选定锁定类型的限制。(") +
            what + ")",
        kStoreSource);
  }
}

void RecordsetImpl::Set(std::string_view name, Variant value) {
  int i = IndexOf(name);
  RequireUpdatable("set a field");
  if (mode_ == Mode::kNone) {
    if (added_current_) {
      throw ScriptError(store_err::kNotUpdatable, "刚添加的记录须移动后才能修改。", kStoreSource);
    }
    edit_ = CurrentRow();
    changed_.assign(names_.size(), false);
    mode_ = Mode::kEditing;
  }
  edit_[i] = std::move(value);
  changed_[i] = true;
}

namespace {

// Rows of a count statement, remembered per statement and parameters until the next write.
int64_t RememberedCount(PooledHandle& h, const std::string& count_sql, const Translation& tr,
                        size_t first_param) {
  BackendConnection& be = h.backend();
  std::string key = count_sql;
  AppendParams(key, tr.params, first_param);
  bool cacheable = !be.InTransaction();
  int64_t count = 0;
  if (cacheable && h.CachedCount(key, &count)) return count;
  uint64_t generation = h.WriteGeneration();
  auto st = be.Prepare(count_sql, tr.original);
  ResetOnExit reset{*st};
  BindAll(*st, tr.params, {}, first_param);
  if (st->Step()) {
    SqlValue v = st->Column(0);
    if (const int64_t* i = std::get_if<int64_t>(&v)) count = *i;
  }
  if (cacheable) h.RememberCount(key, generation, count);
  return count;
}

}  // namespace

long RecordsetImpl::RecordCount() {
  if (!static_ && !fixed_) return -1;
  if (total_ < 0) {
    Guard([&] {
      total_ = RememberedCount(Con().handle(), tr_->CountSql(), *tr_, tr_->count_first_param);
    });
    if (tr_->top) total_ = std::min<int64_t>(total_, *tr_->top);
  }
  int64_t gone = std::count(deleted_.begin(), deleted_.end(), true);
  return static_cast<long>(total_ - gone);
}

long CountAtMost(Connection& con, const std::string& sql, long cap) {
  try {
    PooledHandle& h = con.handle();
    std::shared_ptr<const Translation> tr = TranslateCached(sql, h.backend().dialect());
    return static_cast<long>(
        RememberedCount(h, tr->CappedCountSql(h.backend().dialect(), cap), *tr, 0));
  } catch (const DatabaseError& e) {
    con.Fail(e);
  }
}

void RecordsetImpl::SetPageSize(int n) {
  if (n < 1) RaiseOutOfRange();
  page_size_ = n;
  page_size_set_ = true;
}

void RecordsetImpl::SetCacheSize(int n) {
  if (n < 1) RaiseOutOfRange();
  cache_size_ = n;
}

int RecordsetImpl::PageCount() {
  long count = RecordCount();
  if (count < 0) return -1;
  return static_cast<int>((count + page_size_ - 1) / page_size_);
}

int RecordsetImpl::AbsolutePage() {
  constexpr int kPosBof = -2, kPosEof = -3;
  if (Bof()) return kPosBof;
  if (Eof()) return kPosEof;
  return static_cast<int>(pos_ / page_size_ + 1);
}

void RecordsetImpl::SetAbsolutePage(int page) {
  if (page < 1) RaiseOutOfRange();
  if (mode_ != Mode::kNone) Update();
  added_current_ = false;
  pos_ = static_cast<int64_t>(page - 1) * page_size_;
}

void RecordsetImpl::AddNew() {
  RequireUpdatable("AddNew");
  if (mode_ != Mode::kNone) Update();
  added_current_ = false;
  edit_.assign(names_.size(), Variant::Null());
  changed_.assign(names_.size(), false);
  mode_ = Mode::kAdding;
}

void RecordsetImpl::Update() {
  if (mode_ == Mode::kNone) return;
  RequireUpdatable("Update");
  Guard([&] {
    if (mode_ == Mode::kAdding) {
      Insert();
    } else {
      UpdateRow();
    }
  });
  mode_ = Mode::kNone;
}

void RecordsetImpl::Insert() {
  const TableDef& table = *FindTable(tr_->table);
  BackendConnection& be = Con().backend();
  std::string cols, marks;
  std::vector<SqlValue> values;
  auto add = [&](const ColumnDef& c, const Variant& v) {
    values.push_back(ToSql(c.kind, v, c.name));
    cols += (cols.empty() ? "" : ", ") + be.dialect().QuoteName(c.name);
    marks += (marks.empty() ? "" : ", ") + be.dialect().Parameter(static_cast<int>(values.size()));
  };
  std::vector<bool> written(table.columns.size(), false);
  for (size_t i = 0; i < names_.size(); ++i) {
    if (!changed_[i]) continue;
    const ColumnDef* c = table.Find(names_[i]);
    if (!c) NotWritable(names_[i]);
    written[static_cast<size_t>(c - table.columns.data())] = true;
    add(*c, edit_[i]);
  }
  // The board's clock, not the database's, dates a new post or member.
  for (size_t k = 0; k < table.columns.size(); ++k) {
    if (!written[k] && table.columns[k].default_kind == DefaultKind::kNow) {
      add(table.columns[k], Variant(Con().handle().Now()));
    }
  }
  std::string sql = values.empty()
                        ? "INSERT INTO " + table.name + " DEFAULT VALUES"
                        : "INSERT INTO " + table.name + " (" + cols + ") VALUES (" + marks + ")";
  const bool returning = be.dialect().ReturnsLocator();
  if (returning) {
    sql += " RETURNING " + be.dialect().LocatorColumn(table.name, table.identity) +
           (table.identity.empty() ? "" : ", " + table.identity);
  }
  auto st = be.Prepare(sql, tr_->original);
  ResetOnExit reset{*st};
  BindAll(*st, values);
  bool row = st->Step();
  Con().handle().NoteWrite();
  SqlValue locator, identity;
  if (returning) {
    if (row) locator = st->Column(0);
    if (row && !table.identity.empty()) identity = st->Column(1);
  } else {
    locator = identity = be.LastInsertId();  // SQLite: the rowid, which is the identity too
  }
  Con().SetIdentity(table.identity.empty() ? Variant::Null() : FromSql(ColumnKind::kInteger, identity));
  // The new row becomes current as the table now holds it (defaults and triggers applied).
  added_row_ = edit_;
  auto read = be.Prepare(
      "SELECT * FROM " + table.name + " WHERE " + be.dialect().LocatorCondition(1, table.identity),
      tr_->original);
  ResetOnExit reset_read{*read};
  read->Bind(1, locator);
  if (read->Step()) {
    for (int c = 0; c < read->ColumnCount(); ++c) {
      auto it = index_.find(ToLower(read->ColumnName(c)));
      if (it != index_.end()) added_row_[it->second] = FromSql(read->KindOf(c), read->Column(c));
    }
  }
  added_current_ = true;
}

void RecordsetImpl::UpdateRow() {
  const TableDef& table = *FindTable(tr_->table);
  BackendConnection& be = Con().backend();
  size_t at = static_cast<size_t>(pos_ - window_start_);
  std::string sets;
  std::vector<SqlValue> values;
  std::vector<Variant> stored = rows_[at];
  for (size_t i = 0; i < names_.size(); ++i) {
    if (!changed_[i]) continue;
    const ColumnDef* c = table.Find(names_[i]);
    if (!c) NotWritable(names_[i]);
    values.push_back(ToSql(c->kind, edit_[i], c->name));
    stored[i] = FromSql(c->kind, values.back());
    sets += (sets.empty() ? "" : ", ") + be.dialect().QuoteName(c->name) + " = " +
            be.dialect().Parameter(static_cast<int>(values.size()));
  }
  if (values.empty()) return;
  std::string sql = "UPDATE " + table.name + " SET " + sets + " WHERE " +
                    be.dialect().LocatorCondition(static_cast<int>(values.size()) + 1, table.identity);
  // Where a written row moves (PostgreSQL), its new place is read back for the next change.
  if (be.dialect().ReturnsLocator()) {
    sql += " RETURNING " + be.dialect().LocatorColumn(table.name, table.identity);
  }
  auto st = be.Prepare(sql, tr_->original);
  ResetOnExit reset{*st};
  BindAll(*st, values, {locators_[at]});
  if (st->Step() && be.dialect().ReturnsLocator()) locators_[at] = st->Column(0);
  Con().handle().NoteWrite();
  if (be.Changes() == 0) {
    throw DatabaseError(store_err::kRowNotFound,
                        "Row cannot be located for updating. Some values may have been changed "
                        "since it was last read.",
                        tr_->original, 0, "HY000");
  }
  rows_[at] = std::move(stored);
}

void RecordsetImpl::Delete() {
  RequireUpdatable("Delete");
  if (mode_ == Mode::kAdding) {  // cancels the row being added
    mode_ = Mode::kNone;
    return;
  }
  mode_ = Mode::kNone;
  CurrentRow();  // raises without a current row
  if (added_current_) {
    throw ScriptError(store_err::kNotUpdatable, "刚添加的记录须移动后才能删除。", kStoreSource);
  }
  size_t at = static_cast<size_t>(pos_ - window_start_);
  const TableDef& table = *FindTable(tr_->table);
  Guard([&] {
    BackendConnection& be = Con().backend();
    auto st = be.Prepare(
        "DELETE FROM " + table.name + " WHERE " + be.dialect().LocatorCondition(1, table.identity),
                         tr_->original);
    ResetOnExit reset{*st};
    st->Bind(1, locators_[at]);
    st->Step();
    Con().handle().NoteWrite();
    if (be.Changes() == 0) {
      throw DatabaseError(store_err::kRowNotFound,
                          "Row cannot be located for deletion. Some values may have been changed "
                          "since it was last read.",
                          tr_->original, 0, "HY000");
    }
  });
  deleted_[at] = true;
}

Array2D RecordsetImpl::GetRows() {
  if (mode_ != Mode::kNone) Update();
  std::vector<std::vector<Variant>> rows;
  if (added_current_) {
    rows.push_back(added_row_);
    added_current_ = false;
  }
  while (RowAt(pos_)) {
    size_t at = static_cast<size_t>(pos_ - window_start_);
    if (!deleted_[at]) rows.push_back(rows_[at]);
    ++pos_;
  }
  if (rows.empty()) NoCurrentRow();
  Array2D out(FieldCount(), static_cast<int>(rows.size()));
  for (size_t r = 0; r < rows.size(); ++r) {
    for (int c = 0; c < FieldCount(); ++c) out.at(c, static_cast<int>(r)) = rows[r][c];
  }
  return out;
}

std::string RecordsetImpl::GetString(std::string_view col_sep, std::string_view row_sep,
                                     std::string_view null_text) {
  Array2D rows = GetRows();
  std::string out;
  for (int r = 0; r < rows.cols(); ++r) {
    for (int c = 0; c < rows.rows(); ++c) {
      if (c) out += col_sep;
      const Variant& v = rows.at(c, r);
      out += v.IsNull() ? std::string(null_text) : v.Str();
    }
    out += row_sep;
  }
  return out;
}

}  // namespace cb
