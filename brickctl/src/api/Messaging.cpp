// The brick's program and its mailboxes.
#include "Outcome.h"
#include "brick/Mailbox.h"
#include "brick/Mailboxes.hpp"
#include "brick/Program.h"
#include "brick/Programs.hpp"

namespace brick {

using detail::inRange;
using detail::setOutcome;
using detail::usable;

namespace {

// The protocol numbers the host's side of mailbox N as N + 10.
const int kRemoteInbox = 10;

}  // namespace

void Programs::start(std::string_view name, std::error_code& ec) noexcept {
  if (usable(link, ec)) {
    setOutcome(ec, ::Brick::Lib::Program(*link).start(std::string(name)));
  }
}

void Programs::stop(std::error_code& ec) noexcept {
  if (usable(link, ec)) {
    setOutcome(ec, ::Brick::Lib::Program(*link).stop());
  }
}

std::optional<std::string> Programs::running(std::error_code& ec) noexcept {
  if (!usable(link, ec)) {
    return std::nullopt;
  }
  std::string name;
  setOutcome(ec, ::Brick::Lib::Program(*link).currentName(name));
  if (ec == Errc::no_program) {
    ec.clear();
    return std::nullopt;
  }
  return ec ? std::nullopt : std::optional<std::string>(name);
}

void Mailboxes::send(int mailbox, std::string_view text, std::error_code& ec) noexcept {
  if (!inRange(mailbox, 0, 9)) {
    ec = make_error_code(Errc::bad_mailbox);
  } else if (usable(link, ec)) {
    setOutcome(ec, ::Brick::Lib::Mailbox(*link).send(mailbox, std::string(text)));
  }
}

std::optional<std::string> Mailboxes::receive(int mailbox, std::error_code& ec) noexcept {
  if (!inRange(mailbox, 0, 9)) {
    ec = make_error_code(Errc::bad_mailbox);
    return std::nullopt;
  }
  if (!usable(link, ec)) {
    return std::nullopt;
  }
  std::string text;
  setOutcome(ec, ::Brick::Lib::Mailbox(*link).receive(mailbox + kRemoteInbox, text));
  if (ec == Errc::mailbox_empty) {
    ec.clear();
    return std::nullopt;
  }
  return ec ? std::nullopt : std::optional<std::string>(text);
}

}  // namespace brick
