/// @file
/// @brief brick::Mailboxes, messages to and from the program running on the brick.
#ifndef BRICK_MAILBOXES_HPP
#define BRICK_MAILBOXES_HPP

#include <cstdint>
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

/// @brief The mailboxes between this program and the one running on the brick, got from
/// Brick::mailboxes(). Copy it freely, but use it only while its brick::Brick is open.
///
/// Mailboxes are numbered 0 to 9, as programs on the brick number them: send() writes to the
/// brick program's inbox, receive() reads what it left for the host (the protocol's mailboxes
/// 10 to 19). Another number is refused with Errc::bad_mailbox before anything is sent.
class BRICKCTL_API Mailboxes {
 public:
  /// @brief Sends a text.
  /// @param mailbox 0 to 9.
  /// @param text at most 58 bytes, no NUL inside.
  /// @throws brick::Error Errc::bad_mailbox, Errc::text_too_long, Errc::no_program, a link
  /// failure, or the brick's refusal.
  void send(int mailbox, std::string_view text) {
    std::error_code ec;
    send(mailbox, text, ec);
    Error::throwIf(ec, "brick::Mailboxes::send");
  }
  /// @brief Same as send(int, std::string_view), setting `ec` instead of throwing.
  /// @param mailbox 0 to 9.
  /// @param text at most 58 bytes, no NUL inside.
  /// @param ec cleared on success, else the failure.
  void send(int mailbox, std::string_view text, std::error_code& ec) noexcept;

  /// @brief Takes the oldest text the brick's program left in `mailbox`.
  /// @param mailbox 0 to 9.
  /// @return the text, or nothing when the mailbox is empty.
  /// @throws brick::Error Errc::bad_mailbox, Errc::no_program, a link failure, or the brick's
  /// refusal.
  std::optional<std::string> receive(int mailbox) {
    std::error_code ec;
    std::optional<std::string> text = receive(mailbox, ec);
    Error::throwIf(ec, "brick::Mailboxes::receive");
    return text;
  }
  /// @brief Same as receive(int), setting `ec` instead of throwing.
  /// @param mailbox 0 to 9.
  /// @param ec cleared on success (an empty mailbox included), else the failure.
  /// @return the text, or nothing when the mailbox is empty or `ec` is set.
  std::optional<std::string> receive(int mailbox, std::error_code& ec) noexcept;

 private:
  friend class Brick;
  explicit Mailboxes(Comm::SerialCommunication* link) noexcept : link(link) {}

  Comm::SerialCommunication* link;
};

}  // namespace brick

#endif
