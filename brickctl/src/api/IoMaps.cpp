// The IO maps, the screen and the buttons of the modern API, on IoMap, Screen and Buttons
// underneath; each access checked against the module's map size before it is sent.
#include <cstdio>
#include <string>

#include "Outcome.h"
#include "brick/Brick.hpp"
#include "brick/Buttons.h"
#include "brick/Buttons.hpp"
#include "brick/IoMap.h"
#include "brick/IoMap.hpp"
#include "brick/Screen.h"
#include "brick/Screen.hpp"

namespace brick {

namespace L = ::Brick::Lib;
using detail::setOutcome;
using detail::usable;

namespace {

Module fromLib(const L::IoMap::Module& m) {
  return Module{m.name, m.id, m.moduleSize, m.ioMapSize};
}

// Whether `count` bytes from `offset` lie in `module`'s map; else bad_value.
bool within(const Module& module, std::size_t offset, std::size_t count, std::error_code& ec) {
  if (count == 0 || offset > module.ioMapSize || count > module.ioMapSize - offset) {
    ec = make_error_code(Errc::bad_value);
    return false;
  }
  return true;
}

}  // namespace

IoMap::IoMap(Brick& brick) noexcept : link(brick.connection()) {}

std::vector<Module> IoMap::find(std::string_view pattern, std::error_code& ec) noexcept {
  std::vector<Module> out;
  if (usable(link, ec)) {
    std::vector<L::IoMap::Module> found;
    setOutcome(ec, L::IoMap(*link).find(std::string(pattern), found));
    for (const L::IoMap::Module& m : found) {
      out.push_back(fromLib(m));
    }
  }
  if (ec) {
    out.clear();
  }
  return out;
}

Module IoMap::module(std::string_view nameOrId, std::error_code& ec) noexcept {
  L::IoMap::Module found;
  if (nameOrId.empty() || nameOrId.find('\0') != std::string_view::npos) {
    ec = make_error_code(Errc::bad_value);
  } else if (usable(link, ec)) {
    setOutcome(ec, L::IoMap(*link).lookup(std::string(nameOrId), found));
  }
  return ec ? Module{} : fromLib(found);
}

Module IoMap::module(std::uint32_t id, std::error_code& ec) noexcept {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(id));
  return module(std::string_view(text), ec);
}

std::vector<std::uint8_t> IoMap::read(const Module& module, std::size_t offset, std::size_t count,
                                      std::error_code& ec) noexcept {
  std::vector<std::uint8_t> bytes;
  if (within(module, offset, count, ec) && usable(link, ec)) {
    setOutcome(ec, L::IoMap(*link).read(module.id, offset, count, bytes));
  }
  if (ec) {
    bytes.clear();
  }
  return bytes;
}

std::vector<std::uint8_t> IoMap::read(std::string_view nameOrId, std::size_t offset,
                                      std::size_t count, std::error_code& ec) noexcept {
  Module found = module(nameOrId, ec);
  return ec ? std::vector<std::uint8_t>() : read(found, offset, count, ec);
}

void IoMap::write(const Module& module, std::size_t offset, const std::vector<std::uint8_t>& bytes,
                  std::error_code& ec) noexcept {
  if (within(module, offset, bytes.size(), ec) && usable(link, ec)) {
    setOutcome(ec, L::IoMap(*link).write(module.id, offset, bytes));
  }
}

void IoMap::write(std::string_view nameOrId, std::size_t offset,
                  const std::vector<std::uint8_t>& bytes, std::error_code& ec) noexcept {
  Module found = module(nameOrId, ec);
  if (!ec) {
    write(found, offset, bytes, ec);
  }
}

Screen::Screen(Brick& brick) noexcept : link(brick.connection()) {}

Picture Screen::capture(std::error_code& ec) noexcept {
  L::Screen::Picture picture;
  if (usable(link, ec)) {
    setOutcome(ec, L::Screen(*link).capture(picture));
  }
  return ec ? Picture() : Picture(std::move(picture.bands), picture.popup);
}

Buttons::Buttons(Brick& brick) noexcept : link(brick.connection()) {}

void Buttons::press(Button button, std::error_code& ec) noexcept {
  L::Buttons::Button which = L::Buttons::Button::Left;
  switch (button) {
    case Button::Left:
      break;
    case Button::Enter:
      which = L::Buttons::Button::Enter;
      break;
    case Button::Right:
      which = L::Buttons::Button::Right;
      break;
    case Button::Exit:
      which = L::Buttons::Button::Exit;
      break;
    default:
      ec = make_error_code(Errc::bad_value);
      return;
  }
  if (usable(link, ec)) {
    setOutcome(ec, L::Buttons(*link).press(which));
  }
}

}  // namespace brick
