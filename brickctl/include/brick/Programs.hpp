/// @file
/// @brief brick::Programs, the program running on the brick.
#ifndef BRICK_PROGRAMS_HPP
#define BRICK_PROGRAMS_HPP

#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "brick/Error.hpp"
#include "brick/Export.h"

namespace Comm {
class SerialCommunication;
}

namespace brick {

class Brick;

/// @brief Starts and stops the programs stored on the brick, got from Brick::programs(). Copy
/// it freely, but use it only while its brick::Brick is open.
class BRICKCTL_API Programs {
 public:
  /// @brief Starts the program stored as `name`.
  /// @param name its 15.3 file name, e.g. "robot.rxe".
  /// @throws brick::Error Errc::bad_file_name, Errc::out_of_range (no such file), a link
  /// failure, or the brick's refusal.
  void start(std::string_view name) {
    std::error_code ec;
    start(name, ec);
    Error::throwIf(ec, "brick::Programs::start");
  }
  /// @brief Same as start(std::string_view), setting `ec` instead of throwing.
  /// @param name its 15.3 file name, e.g. "robot.rxe".
  /// @param ec cleared on success, else the failure.
  void start(std::string_view name, std::error_code& ec) noexcept;

  /// @brief Stops the running program.
  /// @throws brick::Error Errc::no_program when none runs, a link failure, or the brick's
  /// refusal.
  void stop() {
    std::error_code ec;
    stop(ec);
    Error::throwIf(ec, "brick::Programs::stop");
  }
  /// @brief Same as stop(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  void stop(std::error_code& ec) noexcept;

  /// @brief The running program's file name.
  /// @return the name, or nothing when no program runs.
  /// @throws brick::Error a link failure, or the brick's refusal.
  std::optional<std::string> running() {
    std::error_code ec;
    std::optional<std::string> name = running(ec);
    Error::throwIf(ec, "brick::Programs::running");
    return name;
  }
  /// @brief Same as running(), setting `ec` instead of throwing.
  /// @param ec cleared on success (no program running included), else the failure.
  /// @return the name, or nothing when no program runs or `ec` is set.
  std::optional<std::string> running(std::error_code& ec) noexcept;

 private:
  friend class Brick;
  explicit Programs(Comm::SerialCommunication* link) noexcept : link(link) {}

  Comm::SerialCommunication* link;
};

}  // namespace brick

#endif
