// Recordset: the page-facing object; an open record set owns a RecordsetImpl.
#include "store/recordset.h"

#include "store/backend.h"
#include "store/recordset_impl.h"
#include "store/sql_translate.h"
#include "store/store_error.h"

namespace cb {

Recordset::Recordset() = default;
Recordset::~Recordset() = default;

void Recordset::AttachImpl(std::unique_ptr<RecordsetImpl> impl) { impl_ = std::move(impl); }

static RecordsetImpl& Live(const std::unique_ptr<RecordsetImpl>& impl) {
  if (!impl) RaiseClosed();
  return *impl;
}

void Recordset::Open(const std::string& sql, Connection& con, int cursor_type, int lock_type,
                     int /*options*/) {
  if (impl_) RaiseOpen();
  if (!con.State()) RaiseClosed();
  std::shared_ptr<const Translation> tr;
  try {
    tr = TranslateCached(sql, con.backend().dialect());
  } catch (const DatabaseError& e) {
    con.Fail(e);
  }
  if (tr->kind != StatementKind::kSelect) {
    // A statement that returns no rows leaves the record set closed, as the legacy layer does.
    std::unique_ptr<Recordset> rs = con.Execute(sql);
    impl_ = std::move(rs->impl_);
    return;
  }
  if (cursor_type == adOpenUnspecified) cursor_type = adOpenForwardOnly;
  // A static or updatable record set reads nothing until asked: a page that only adds a row
  // never reads the table, and a page of a long list reads one window.
  bool eager = cursor_type == adOpenForwardOnly && lock_type != adLockOptimistic &&
               lock_type != adLockPessimistic && lock_type != adLockBatchOptimistic;
  impl_ = std::make_unique<RecordsetImpl>(con, tr, cursor_type, lock_type, eager);
  ApplySizes();
  con.ClearErrors();
}

int Recordset::State() const { return impl_ ? adStateOpen : adStateClosed; }

void Recordset::Close() {
  Live(impl_);
  impl_.reset();  // a change not yet updated is dropped: nothing half-written
  page_size_ = cache_size_ = 0;
}

bool Recordset::Eof() const { return Live(impl_).Eof(); }
bool Recordset::Bof() const { return Live(impl_).Bof(); }
void Recordset::MoveNext() { Live(impl_).MoveNext(); }
void Recordset::MoveFirst() { Live(impl_).MoveFirst(); }
Variant Recordset::Fields(std::string_view name) const { return Live(impl_).Field(name); }
Variant Recordset::Fields(int index) const { return Live(impl_).Field(index); }
int Recordset::FieldCount() const { return Live(impl_).FieldCount(); }
std::string Recordset::FieldName(int index) const { return Live(impl_).FieldName(index); }
void Recordset::Set(std::string_view name, Variant value) {
  Live(impl_).Set(name, std::move(value));
}
long Recordset::RecordCount() const { return Live(impl_).RecordCount(); }
int Recordset::PageSize() const {
  if (!impl_) return page_size_ ? page_size_ : 10;
  return impl_->PageSize();
}
void Recordset::SetPageSize(int n) {
  if (!impl_) {
    if (n < 1) RaiseOutOfRange();
    page_size_ = n;
    return;
  }
  impl_->SetPageSize(n);
}
int Recordset::CacheSize() const {
  if (!impl_) return cache_size_ ? cache_size_ : 1;
  return impl_->CacheSize();
}
void Recordset::SetCacheSize(int n) {
  if (!impl_) {
    if (n < 1) RaiseOutOfRange();
    cache_size_ = n;
    return;
  }
  impl_->SetCacheSize(n);
}

void Recordset::ApplySizes() {
  if (!impl_) return;
  if (page_size_) impl_->SetPageSize(page_size_);
  if (cache_size_) impl_->SetCacheSize(cache_size_);
}
int Recordset::PageCount() const { return Live(impl_).PageCount(); }
int Recordset::AbsolutePage() const { return Live(impl_).AbsolutePage(); }
void Recordset::SetAbsolutePage(int page) { Live(impl_).SetAbsolutePage(page); }
void Recordset::AddNew() { Live(impl_).AddNew(); }
void Recordset::Update() { Live(impl_).Update(); }
void Recordset::Delete() { Live(impl_).Delete(); }
long Recordset::RowsRead() const { return Live(impl_).RowsRead(); }
Array2D Recordset::GetRows() { return Live(impl_).GetRows(); }
std::string Recordset::GetString(std::string_view col_sep, std::string_view row_sep,
                                 std::string_view null_text) {
  return Live(impl_).GetString(col_sep, row_sep, null_text);
}

}  // namespace cb
