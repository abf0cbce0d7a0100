#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace qelt {

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
