// The board's dynamic value: empty, null, boolean (true is -1), 16- and 32-bit integers, double,
// text (UTF-8), date and a two-dimensional array, with the legacy conversion rules pages rely on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/datetime.h"
#include "runtime/script_error.h"

namespace cb {

enum class VType { kEmpty, kNull, kBoolean, kInteger, kLong, kDouble, kString, kDate, kArray };

class Variant;

// A two-dimensional array of values, rows by columns, indexed from 0 (the online table).
class Array2D {
 public:
  Array2D() = default;
  Array2D(int rows, int cols);
  int rows() const { return rows_; }
  int cols() const { return cols_; }
  Variant& at(int row, int col);
  const Variant& at(int row, int col) const;

 private:
  int rows_ = 0;
  int cols_ = 0;
  std::vector<Variant> cells_;
};

class Variant {
 public:
  Variant();  // empty
  Variant(bool b);
  Variant(int16_t i);
  Variant(int32_t i);
  Variant(int64_t i);  // stored as long when it fits, else double
  Variant(double d);
  Variant(std::string s);
  Variant(std::string_view s);
  Variant(const char* s);
  Variant(DateTime d);
  Variant(Array2D a);  // arrays are copied on assignment, like the legacy host's
  static Variant Null();

  // Copies duplicate an array value, so that a copy never shares cells with its source.
  Variant(const Variant& other);
  Variant& operator=(const Variant& other);
  Variant(Variant&& other) noexcept;  // leaves the source empty
  Variant& operator=(Variant&& other) noexcept;
  ~Variant();

  VType type() const { return type_; }
  bool IsEmpty() const { return type_ == VType::kEmpty; }
  bool IsNull() const { return type_ == VType::kNull; }
  bool IsString() const { return type_ == VType::kString; }
  bool IsNumber() const;  // boolean, integer, long or double

  // Conversions with the legacy rules; each throws ScriptError (13 type mismatch, 6 overflow,
  // 94 invalid use of null) where the legacy host raises.
  std::string CStr() const;  // null raises; empty gives ""
  bool CBool() const;        // "true"/"false" in any case, or a number (0 false)
  int16_t CInt() const;      // rounds half to even, 16-bit range
  int32_t CLng() const;      // rounds half to even, 32-bit range
  uint8_t CByte() const;     // rounds half to even, 0..255
  double CDbl() const;
  DateTime CDate() const;

  // The value as concatenation sees it: null and empty give "". Never raises.
  std::string Str() const;

  const std::string& AsStringRef() const;  // only for kString values
  const Array2D& AsArray() const;          // raises 13 unless kArray
  Array2D& MutableArray();                 // raises 13 unless kArray

  // Legacy "=" between a variant and text: compares the text form (null and arrays never equal).
  bool EqualsText(std::string_view s) const;

 private:
  void CopyScalar(const Variant& other);

  VType type_;
  union {
    bool b_;
    int32_t i_;
    double d_;
  };
  DateTime date_;
  std::string s_;
  std::shared_ptr<Array2D> array_;
};

}  // namespace cb
