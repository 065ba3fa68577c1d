// The board's dynamic value and its legacy conversions: numbers round half to even, text must
// follow the IsNumeric grammar, null raises where the legacy host raises.
#include "runtime/variant.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "runtime/convert.h"
#include "runtime/date_serial.h"

namespace cb {
namespace {

[[noreturn]] void RaiseTypeMismatch() { throw ScriptError(err::kTypeMismatch, "类型不匹配"); }
[[noreturn]] void RaiseOverflow() { throw ScriptError(err::kOverflow, "溢出"); }
[[noreturn]] void RaiseNull() { throw ScriptError(err::kInvalidUseOfNull, "无效使用 Null"); }

// A double as the legacy host writes it: up to 15 significant digits, no trailing zeros, an
// exponent of at least two digits outside 1E-4 .. 1E15 ("1E-05", "1.5E+20").
std::string DoubleText(double d) {
  if (d == 0) return "0";  // also -0
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15G", d);
  return buf;
}

double Ranged(double d, double lo, double hi) {
  const double r = RoundHalfEven(d);
  if (!(r >= lo && r <= hi)) RaiseOverflow();
  return r;
}

}  // namespace

Array2D::Array2D(int rows, int cols) {
  if (rows < 0 || cols < 0) throw ScriptError(err::kSubscriptOutOfRange, "下标越界");
  rows_ = rows;
  cols_ = cols;
  cells_.resize(static_cast<size_t>(rows) * static_cast<size_t>(cols));
}

Variant& Array2D::at(int row, int col) {
  if (row < 0 || row >= rows_ || col < 0 || col >= cols_) {
    throw ScriptError(err::kSubscriptOutOfRange, "下标越界");
  }
  return cells_[static_cast<size_t>(row) * static_cast<size_t>(cols_) + static_cast<size_t>(col)];
}

const Variant& Array2D::at(int row, int col) const {
  return const_cast<Array2D*>(this)->at(row, col);
}

Variant::Variant() : type_(VType::kEmpty), d_(0) {}
Variant::Variant(bool b) : type_(VType::kBoolean), b_(b) {}
Variant::Variant(int16_t i) : type_(VType::kInteger), i_(i) {}
Variant::Variant(int32_t i) : type_(VType::kLong), i_(i) {}
Variant::Variant(int64_t i) : type_(VType::kLong), i_(0) {
  if (i >= INT32_MIN && i <= INT32_MAX) {
    i_ = static_cast<int32_t>(i);
  } else {
    type_ = VType::kDouble;
    d_ = static_cast<double>(i);
  }
}
Variant::Variant(double d) : type_(VType::kDouble), d_(d) {}
Variant::Variant(std::string s) : type_(VType::kString), d_(0), s_(std::move(s)) {}
Variant::Variant(std::string_view s) : type_(VType::kString), d_(0), s_(s) {}
Variant::Variant(const char* s) : type_(VType::kString), d_(0), s_(s ? s : "") {}
Variant::Variant(DateTime d) : type_(VType::kDate), d_(0), date_(d) {}
Variant::Variant(Array2D a)
    : type_(VType::kArray), d_(0), array_(std::make_shared<Array2D>(std::move(a))) {}

Variant Variant::Null() {
  Variant v;
  v.type_ = VType::kNull;
  return v;
}

Variant::Variant(const Variant& other)
    : type_(other.type_), d_(0), date_(other.date_), s_(other.s_) {
  CopyScalar(other);
  if (other.array_) array_ = std::make_shared<Array2D>(*other.array_);
}

Variant& Variant::operator=(const Variant& other) {
  if (this != &other) {
    Variant copy(other);
    *this = std::move(copy);
  }
  return *this;
}

Variant::Variant(Variant&& other) noexcept
    : type_(other.type_),
      d_(0),
      date_(other.date_),
      s_(std::move(other.s_)),
      array_(std::move(other.array_)) {
  CopyScalar(other);
  other.type_ = VType::kEmpty;
}

Variant& Variant::operator=(Variant&& other) noexcept {
  if (this != &other) {
    type_ = other.type_;
    CopyScalar(other);
    date_ = other.date_;
    s_ = std::move(other.s_);
    array_ = std::move(other.array_);
    other.type_ = VType::kEmpty;
  }
  return *this;
}

Variant::~Variant() = default;

void Variant::CopyScalar(const Variant& other) {
  // Byte copy of whichever of b_, i_ and d_ is active.
  std::memcpy(static_cast<void*>(&d_), static_cast<const void*>(&other.d_), sizeof d_);
}

bool Variant::IsNumber() const {
  return type_ == VType::kBoolean || type_ == VType::kInteger || type_ == VType::kLong ||
         type_ == VType::kDouble;
}

std::string Variant::CStr() const {
  if (type_ == VType::kNull) RaiseNull();
  if (type_ == VType::kArray) RaiseTypeMismatch();
  return Str();
}

bool Variant::CBool() const {
  switch (type_) {
    case VType::kEmpty:
      return false;
    case VType::kNull:
      RaiseNull();
    case VType::kBoolean:
      return b_;
    case VType::kInteger:
    case VType::kLong:
      return i_ != 0;
    case VType::kDouble:
      return d_ != 0;
    case VType::kDate:
      return DateToSerial(date_) != 0;
    case VType::kString: {
      const std::string t = Trim(s_);
      if (EqualsNoCase(t, "true")) return true;
      if (EqualsNoCase(t, "false")) return false;
      if (const std::optional<double> d = ParseNumber(t)) return *d != 0;
      RaiseTypeMismatch();
    }
    case VType::kArray:
      break;
  }
  RaiseTypeMismatch();
}

double Variant::CDbl() const {
  switch (type_) {
    case VType::kEmpty:
      return 0;
    case VType::kNull:
      RaiseNull();
    case VType::kBoolean:
      return b_ ? -1 : 0;
    case VType::kInteger:
    case VType::kLong:
      return i_;
    case VType::kDouble:
      return d_;
    case VType::kDate:
      return DateToSerial(date_);
    case VType::kString:
      if (const std::optional<double> d = ParseNumber(s_)) return *d;
      RaiseTypeMismatch();
    case VType::kArray:
      break;
  }
  RaiseTypeMismatch();
}

int16_t Variant::CInt() const {
  if (type_ == VType::kInteger || type_ == VType::kBoolean) return static_cast<int16_t>(CDbl());
  return static_cast<int16_t>(Ranged(CDbl(), INT16_MIN, INT16_MAX));
}

int32_t Variant::CLng() const {
  if (type_ == VType::kInteger || type_ == VType::kLong) return i_;
  return static_cast<int32_t>(Ranged(CDbl(), INT32_MIN, INT32_MAX));
}

uint8_t Variant::CByte() const { return static_cast<uint8_t>(Ranged(CDbl(), 0, 255)); }

DateTime Variant::CDate() const {
  switch (type_) {
    case VType::kNull:
      RaiseNull();
    case VType::kDate:
      return date_;
    case VType::kString:
      if (const std::optional<DateTime> d = DateTime::Parse(s_)) return *d;
      RaiseTypeMismatch();
    case VType::kArray:
      RaiseTypeMismatch();
    default:
      return SerialToDate(CDbl());
  }
}

std::string Variant::Str() const {
  switch (type_) {
    case VType::kEmpty:
    case VType::kNull:
    case VType::kArray:
      return "";
    case VType::kBoolean:
      return b_ ? "True" : "False";
    case VType::kInteger:
    case VType::kLong:
      return std::to_string(i_);
    case VType::kDouble:
      return DoubleText(d_);
    case VType::kString:
      return s_;
    case VType::kDate:
      return date_.GeneralText();
  }
  return "";
}

const std::string& Variant::AsStringRef() const {
  if (type_ != VType::kString) RaiseTypeMismatch();
  return s_;
}

const Array2D& Variant::AsArray() const {
  if (type_ != VType::kArray) RaiseTypeMismatch();
  return *array_;
}

Array2D& Variant::MutableArray() {
  if (type_ != VType::kArray) RaiseTypeMismatch();
  return *array_;
}

bool Variant::EqualsText(std::string_view s) const {
  if (type_ == VType::kNull || type_ == VType::kArray) return false;
  return Str() == s;
}

}  // namespace cb
