// The error a failing statement raises: a ScriptError whose description is the backend's message
// and code, which also keeps the statement and the backend's own code for logs and tests.
#pragma once

#include <string>

#include "runtime/script_error.h"

namespace cb {

inline constexpr const char* kStoreSource = "Corkboard.Store";

// ADO numbers the store raises beyond runtime/script_error.h.
namespace store_err {
constexpr long kObjectOpen = 3705;             // operation not allowed when the object is open
constexpr long kArgumentRange = 3001;          // argument out of the acceptable range
constexpr long kNotUpdatable = 3251;           // the record set does not support the operation
constexpr long kRowNotFound = -2147217864;     // 0x80040E38: row cannot be located for updating
constexpr long kTypeConversion = -2147217913;  // 0x80040E07: conversion failed
}  // namespace store_err

class DatabaseError : public ScriptError {
 public:
  DatabaseError(long number, std::string description, std::string statement, int backend_code = 0,
                std::string sql_state = "")
      : ScriptError(number, std::move(description), kStoreSource),
        statement_(std::move(statement)),
        backend_code_(backend_code),
        sql_state_(std::move(sql_state)) {}
  const std::string& statement() const { return statement_; }
  int backend_code() const { return backend_code_; }
  const std::string& sql_state() const { return sql_state_; }

 private:
  std::string statement_;
  int backend_code_;
  std::string sql_state_;
};

// The legacy layer's errors for an object used in the wrong state or with a bad argument.
[[noreturn]] void RaiseClosed();      // 3704: the object is closed
[[noreturn]] void RaiseOpen();        // 3705: the object is open
[[noreturn]] void RaiseOutOfRange();  // 3001: an argument out of range

// A statement the translator refuses: names the construct, never runs.
inline DatabaseError UnsupportedSql(const std::string& construct, const std::string& statement) {
  return DatabaseError(err::kDatabase, "Unsupported SQL construct: " + construct, statement, 0,
                       "42000");
}

}  // namespace cb
