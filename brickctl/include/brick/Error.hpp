/// @file
/// @brief brick::Error, brick::Errc and the library's error category.
#ifndef BRICK_ERROR_HPP
#define BRICK_ERROR_HPP

#include <string>
#include <system_error>

#include "brick/Export.h"

namespace brick {

/// @brief What went wrong, as the values of a std::error_code of brick::category().
///
/// Three kinds a program can tell apart: the link failed (negative, from -1001), a value was
/// refused before anything was sent (from -1101), or the brick itself refused with a status byte
/// S, which is `Errc::brick_status + S`. Only the brick's statuses programs test for most often
/// have names here; brickStatus() gives the byte of any.
enum class Errc : int {
  not_open = -1001,         ///< no brick is open (a closed or moved-from brick::Brick)
  timeout = -1002,          ///< no (complete) reply within the time limit
  io_error = -1003,         ///< the operating system reported an error on the link
  bad_frame = -1004,        ///< the byte stream went out of step and was resynchronised
  bad_argument = -1005,     ///< a device text or command the link cannot carry
  closed_by_peer = -1006,   ///< the brick went away (unplugged, switched off)
  no_device = -1007,        ///< nothing answered at the place given
  access_denied = -1008,    ///< the device exists but this user may not open it
  busy = -1009,             ///< another program holds the device
  refused = -1010,          ///< the brick answered with a status other than success
  short_reply = -1011,      ///< a reply shorter than its command's layout
  bad_port = -1102,         ///< a port the brick does not have
  bad_mailbox = -1103,      ///< a mailbox outside 0-9
  bad_file_name = -1104,    ///< not a 15.3 file name (or pattern)
  text_too_long = -1105,    ///< a message over 58 bytes
  bad_value = -1106,        ///< power, turn ratio, frequency, duration or count out of range
  file_too_large = -1107,   ///< more than a brick's file can hold
  malformed_reply = -1108,  ///< a reply too short for what it should carry
  wait_timeout = -1109,     ///< a bounded wait on the brick ran out
  no_room = -1110,          ///< a file larger than the brick's free flash
  stopped = -1111,          ///< the program stopped a transfer (its stream failed)
  wrong_device = -1112,     ///< another digital sensor than the one expected answers there
  brick_status = 0x1000,    ///< base of the brick's own status bytes
  mailbox_empty = 0x1040,   ///< the brick's status 0x40: the mailbox is empty
  file_not_found = 0x1087,  ///< the brick's status 0x87: no such file
  file_exists = 0x108F,     ///< the brick's status 0x8F: a file of that name exists
  no_module = 0x1090,       ///< the brick's status 0x90: no firmware module of that name or id
  out_of_range = 0x10C0,    ///< the brick's status 0xC0: a value or file it cannot use
  bus_error = 0x10DD,       ///< the brick's status 0xDD: nothing answered on the sensor's bus
  no_program = 0x10EC,      ///< the brick's status 0xEC: no program is running
};

/// @brief The category of every error this library reports; its name() is "brick".
///
/// Its message() names the brick's status (from the brick's status table) or the link's
/// failure. Its conditions map onto std::errc where one fits (timeout to
/// std::errc::timed_out, access_denied to std::errc::permission_denied, ...).
/// @return the one category object.
BRICKCTL_API const std::error_category& category() noexcept;

/// @brief An error_code of brick::category() for `e`.
/// @param e the error.
/// @return the code, for comparison with what a call reported.
inline std::error_code make_error_code(Errc e) noexcept {
  return {static_cast<int>(e), category()};
}

/// @brief The brick's own status byte carried by `ec`.
/// @param ec a code a call of this library reported.
/// @return the byte (e.g. 0x87), or -1 when `ec` is not a refusal by the brick.
BRICKCTL_API int brickStatus(const std::error_code& ec) noexcept;

/// @brief What every throwing call of this library throws: a std::system_error whose code()
/// belongs to brick::category().
///
/// Every call that throws it has an overload taking a `std::error_code&` that never throws and
/// sets the code instead, as std::filesystem does.
class BRICKCTL_API Error : public std::system_error {
 public:
  /// @brief An error for `ec`, what() naming the operation.
  /// @param ec the failure.
  /// @param operation what was being done, e.g. "brick::Motor::run".
  Error(std::error_code ec, const std::string& operation);

  /// @brief Throws an Error when `ec` holds a failure; returns otherwise.
  /// @param ec the outcome of a call.
  /// @param operation what was being done.
  /// @throws brick::Error when `ec` is set.
  static void throwIf(const std::error_code& ec, const char* operation) {
    if (ec) {
      raise(ec, operation);
    }
  }
  /// @brief Same as throwIf(const std::error_code&, const char*), what() naming `detail` too
  /// when it is not empty (e.g. which device answered instead of the expected one).
  /// @param ec the outcome of a call.
  /// @param operation what was being done.
  /// @param detail what the handle learnt of the failure, in a sentence; may be empty.
  /// @throws brick::Error when `ec` is set.
  static void throwIf(const std::error_code& ec, const char* operation, const std::string& detail) {
    if (ec) {
      raise(ec, detail.empty() ? std::string(operation) : operation + (": " + detail));
    }
  }

 private:
  [[noreturn]] static void raise(const std::error_code& ec, const char* operation);
  [[noreturn]] static void raise(const std::error_code& ec, const std::string& operation);
};

}  // namespace brick

namespace std {
/// @brief Lets brick::Errc compare with std::error_code.
template <>
struct is_error_code_enum<brick::Errc> : true_type {};
}  // namespace std

#endif
