// Stored values to host values and back: flags are booleans, dates are DateTime, whole numbers
// are longs, and whatever a page assigns is converted to the column's kind before it is written.
#include <cmath>

#include "runtime/datetime.h"
#include "store/recordset_impl.h"
#include "store/store_error.h"

namespace cb {

namespace {

// "yyyy-mm-dd hh:nn:ss", the stored form, without going through the general parser.
std::optional<DateTime> StoredDate(const std::string& s) {
  auto digits = [&](size_t at, size_t n, int* out) {
    int x = 0;
    for (size_t i = at; i < at + n; ++i) {
      if (s[i] < '0' || s[i] > '9') return false;
      x = x * 10 + (s[i] - '0');
    }
    *out = x;
    return true;
  };
  int y, mo, d, h, mi, se;
  if (s.size() == 19 && s[4] == '-' && s[7] == '-' && s[10] == ' ' && s[13] == ':' &&
      s[16] == ':' && digits(0, 4, &y) && digits(5, 2, &mo) && digits(8, 2, &d) &&
      digits(11, 2, &h) && digits(14, 2, &mi) && digits(17, 2, &se)) {
    return DateTime::FromParts(y, mo, d, h, mi, se);
  }
  return DateTime::Parse(s);
}

[[noreturn]] void CannotConvert(const std::string& column, const Variant& v) {
  throw DatabaseError(store_err::kTypeConversion,
                      "Conversion failed for column " + column + ": '" + v.Str() + "'", "", 0,
                      "22018");
}

}  // namespace

Variant FromSql(ColumnKind kind, const SqlValue& v) {
  if (IsSqlNull(v)) return Variant::Null();
  if (const int64_t* i = std::get_if<int64_t>(&v)) {
    if (kind == ColumnKind::kFlag) return Variant(*i != 0);
    return Variant(*i);  // a long when it fits
  }
  if (const double* d = std::get_if<double>(&v)) {
    if (kind == ColumnKind::kFlag) return Variant(*d != 0);
    return Variant(*d);
  }
  const std::string& s = std::get<std::string>(v);
  if (kind == ColumnKind::kDate) {
    if (std::optional<DateTime> d = StoredDate(s)) return Variant(*d);
  }
  return Variant(s);
}

SqlValue ToSql(ColumnKind kind, const Variant& v, const std::string& column) {
  if (v.IsNull() || v.IsEmpty()) return std::monostate{};
  switch (kind) {
    case ColumnKind::kFlag:
      return static_cast<int64_t>(v.CBool() ? 1 : 0);
    case ColumnKind::kDate: {
      if (v.IsString()) {
        std::optional<DateTime> d = DateTime::Parse(v.AsStringRef());
        if (!d) CannotConvert(column, v);
        return d->YmdHms();
      }
      return v.CDate().YmdHms();
    }
    case ColumnKind::kInteger: {
      double d = v.CDbl();
      if (!std::isfinite(d) || std::fabs(d) > 9.2e18) CannotConvert(column, v);
      return static_cast<int64_t>(std::trunc(d));
    }
    case ColumnKind::kReal:
      return v.CDbl();
    default:
      return v.Str();
  }
}

}  // namespace cb
