// The error type of a generation run and the error numbers it raises itself.
#pragma once

#include <cstdint>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

namespace qelt {

// The error numbers a run raises itself, as its "Error creating the Trigger" message and the
// window's "Run-time error" report show them.
// A column list holds a name every column list refuses (ColumnNameRules): empty, holding a
// control character (which would split the script's lines and batches), longer than SQL Server
// takes, or repeating an earlier name ignoring case. The run ends there.
inline constexpr std::int32_t kErrRefusedColumnName = 5;
// A column list whose count has no last position.
inline constexpr std::int32_t kErrOverflow = 6;
// Memory ran out (std::bad_alloc).
inline constexpr std::int32_t kErrOutOfMemory = 7;
// A field position outside the column list, as a collection lookup reports it.
inline constexpr std::int32_t kErrSubscriptOutOfRange = 9;
// No column of the table can be set by an UPDATE: its trigger would discard every update.
inline constexpr std::int32_t kErrNoColumnToSet = 17;
// Any other exception, which no part of the run expects.
inline constexpr std::int32_t kErrUnexpected = 51;
// The probe query returned no recordset.
inline constexpr std::int32_t kErrNoRecordset = 91;
// The window's database session object cannot be created.
inline constexpr std::int32_t kErrCannotCreateObject = 429;

// The one error type of a generation run: a signed 32-bit number and a description, as the
// "Error creating the Trigger" message shows them. Expected failures (an unopened database,
// a missing setting) are plain results, never this.
class Error : public std::runtime_error {
  public:
    Error(std::int32_t number, const std::string& description)
        : std::runtime_error(description), number_(number) {}

    std::int32_t Number() const noexcept { return number_; }
    std::string Description() const { return what(); }

  private:
    std::int32_t number_;
};

// The number and description of an exception that ends a run: an Error's own, kErrOutOfMemory
// for memory run out, kErrUnexpected for any other.
struct NumberedFailure {
    std::int32_t number;
    std::string description;
};

inline NumberedFailure NumberedFailureOf(const std::exception& error) {
    if (const auto* numbered = dynamic_cast<const Error*>(&error)) {
        return {numbered->Number(), numbered->Description()};
    }
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) {
        return {kErrOutOfMemory, "Out of memory"};
    }
    return {kErrUnexpected, error.what()};
}

// A driver's failure: its native error number, its SQLSTATE and its diagnostic text.
class OdbcError : public Error {
  public:
    OdbcError(std::int32_t nativeError, std::string sqlState, const std::string& description)
        : Error(nativeError, description), sqlState_(std::move(sqlState)) {}

    const std::string& SqlState() const noexcept { return sqlState_; }

  private:
    std::string sqlState_;
};

}  // namespace qelt
