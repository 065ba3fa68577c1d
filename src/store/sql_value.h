// A value as it crosses the backend seam: SQL NULL, a whole number, a real number or text.
// Flags, dates and host booleans are turned into these by the store before binding.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace cb {

using SqlValue = std::variant<std::monostate, int64_t, double, std::string>;

inline bool IsSqlNull(const SqlValue& v) { return std::holds_alternative<std::monostate>(v); }

// The logical kind of a result column, as the backend reports it from the schema.
enum class ColumnKind { kUnknown, kText, kInteger, kReal, kDate, kFlag };

}  // namespace cb
