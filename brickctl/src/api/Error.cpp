#include "brick/Error.hpp"

#include <string>

#include "comm/LinkCode.h"

namespace brick {

namespace {

class Category : public std::error_category {
 public:
  const char* name() const noexcept override { return "brick"; }
  std::string message(int code) const override { return Comm::linkCodeText(code); }
  // Lets a program test for what std::errc already names without knowing this library's codes.
  std::error_condition default_error_condition(int code) const noexcept override {
    switch (static_cast<Errc>(code)) {
      case Errc::timeout:
      case Errc::wait_timeout:
        return std::errc::timed_out;
      case Errc::access_denied:
        return std::errc::permission_denied;
      case Errc::busy:
        return std::errc::device_or_resource_busy;
      case Errc::no_device:
        return std::errc::no_such_device;
      case Errc::io_error:
        return std::errc::io_error;
      case Errc::not_open:
        return std::errc::not_connected;
      case Errc::closed_by_peer:
        return std::errc::connection_reset;
      case Errc::bad_argument:
      case Errc::bad_port:
      case Errc::bad_mailbox:
      case Errc::bad_file_name:
      case Errc::text_too_long:
      case Errc::bad_value:
        return std::errc::invalid_argument;
      case Errc::file_too_large:
        return std::errc::file_too_large;
      case Errc::no_room:
        return std::errc::no_space_on_device;
      default:
        return {code, *this};
    }
  }
};

}  // namespace

const std::error_category& category() noexcept {
  static const Category instance;
  return instance;
}

int brickStatus(const std::error_code& ec) noexcept {
  int base = static_cast<int>(Errc::brick_status);
  if (ec.category() != category() || ec.value() <= base || ec.value() > base + 0xFF) {
    return -1;
  }
  return ec.value() - base;
}

Error::Error(std::error_code ec, const std::string& operation) : std::system_error(ec, operation) {}

void Error::raise(const std::error_code& ec, const char* operation) {
  throw Error(ec, operation);
}

void Error::raise(const std::error_code& ec, const std::string& operation) {
  throw Error(ec, operation);
}

}  // namespace brick
