/// @file
/// @brief brick::IoMap, the firmware modules' IO maps.
#ifndef BRICK_IOMAP_HPP
#define BRICK_IOMAP_HPP

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <system_error>
#include <vector>

#include "brick/Error.hpp"
#include "brick/Export.h"
#include "brick/Module.hpp"

namespace Comm {
class SerialCommunication;
}

namespace brick {

class Brick;

/// @brief The brick's firmware modules and their IO maps: the memory through which the
/// firmware's parts (outputs, inputs, display, buttons, sound, menu, ...) share their state.
/// Reading a map shows that state; writing one asks the firmware to act, as its own parts do.
///
/// A module is named by its name ("Display.mod"; "display" gets ".mod" added) or its id. Each
/// read or write is checked against the module's IO map size before anything of it is sent
/// (Errc::bad_value), so one by name or id first looks the module up (a module search, several
/// exchanges); one given a brick::Module from find() or module() does not. Large reads and
/// writes go in pieces a telegram carries. Made from a brick::Brick, sending nothing; copy it
/// freely, but use it only while its brick is open.
class BRICKCTL_API IoMap {
 public:
  /// @brief The IO maps of `brick`; sends nothing.
  /// @param brick the brick.
  explicit IoMap(Brick& brick) noexcept;

  /// @brief The modules whose names match `pattern`, compared without regard to case.
  /// @param pattern "*.*" all, "Name.*", "*.mod", or a whole name.
  /// @return the modules, in the firmware's order; none when none matches.
  /// @throws brick::Error Errc::bad_value for an empty pattern or one over 19 bytes, a link
  /// failure, or the brick's refusal.
  std::vector<Module> find(std::string_view pattern = "*.*") {
    std::error_code ec;
    std::vector<Module> found = find(pattern, ec);
    Error::throwIf(ec, "brick::IoMap::find");
    return found;
  }
  /// @brief Same as find(std::string_view), setting `ec` instead of throwing.
  /// @param pattern as for find(std::string_view).
  /// @param ec cleared on success, else the failure.
  /// @return the modules; none when `ec` is set.
  std::vector<Module> find(std::string_view pattern, std::error_code& ec) noexcept;

  /// @brief The module `nameOrId` names.
  /// @param nameOrId a module name ("Display.mod", "display") or an id in hex or decimal
  /// ("0x000A0001").
  /// @return the module.
  /// @throws brick::Error Errc::no_module when there is none such, a link failure, or the
  /// brick's refusal.
  Module module(std::string_view nameOrId) {
    std::error_code ec;
    Module found = module(nameOrId, ec);
    Error::throwIf(ec, "brick::IoMap::module");
    return found;
  }
  /// @brief Same as module(std::string_view), setting `ec` instead of throwing.
  /// @param nameOrId as for module(std::string_view).
  /// @param ec cleared on success, else the failure.
  /// @return the module; an empty one when `ec` is set.
  Module module(std::string_view nameOrId, std::error_code& ec) noexcept;
  /// @brief The module of id `id`.
  /// @param id its id, e.g. 0x000A0001.
  /// @return the module.
  /// @throws brick::Error Errc::no_module when there is none such, a link failure, or the
  /// brick's refusal.
  Module module(std::uint32_t id) {
    std::error_code ec;
    Module found = module(id, ec);
    Error::throwIf(ec, "brick::IoMap::module");
    return found;
  }
  /// @brief Same as module(std::uint32_t), setting `ec` instead of throwing.
  /// @param id its id.
  /// @param ec cleared on success, else the failure.
  /// @return the module; an empty one when `ec` is set.
  Module module(std::uint32_t id, std::error_code& ec) noexcept;

  /// @brief Reads `count` bytes of `module`'s IO map from `offset`.
  /// @param module a module find() or module() gave.
  /// @param offset the first byte.
  /// @param count 1 or more; `offset` + `count` at most the map's size.
  /// @return the bytes.
  /// @throws brick::Error Errc::bad_value for bytes outside the map (nothing sent), a link
  /// failure, or the brick's refusal.
  std::vector<std::uint8_t> read(const Module& module, std::size_t offset, std::size_t count) {
    std::error_code ec;
    std::vector<std::uint8_t> bytes = read(module, offset, count, ec);
    Error::throwIf(ec, "brick::IoMap::read");
    return bytes;
  }
  /// @brief Same as read(const Module&, std::size_t, std::size_t), setting `ec` instead of
  /// throwing.
  /// @param module a module find() or module() gave.
  /// @param offset the first byte.
  /// @param count 1 or more, within the map.
  /// @param ec cleared on success, else the failure.
  /// @return the bytes; none when `ec` is set.
  std::vector<std::uint8_t> read(const Module& module, std::size_t offset, std::size_t count,
                                 std::error_code& ec) noexcept;
  /// @brief Reads `count` bytes of the IO map of the module `nameOrId` names, from `offset`.
  /// @param nameOrId as for module(std::string_view).
  /// @param offset the first byte.
  /// @param count 1 or more, within the map.
  /// @return the bytes.
  /// @throws brick::Error Errc::no_module, Errc::bad_value for bytes outside the map (nothing
  /// read), a link failure, or the brick's refusal.
  std::vector<std::uint8_t> read(std::string_view nameOrId, std::size_t offset, std::size_t count) {
    std::error_code ec;
    std::vector<std::uint8_t> bytes = read(nameOrId, offset, count, ec);
    Error::throwIf(ec, "brick::IoMap::read");
    return bytes;
  }
  /// @brief Same as read(std::string_view, std::size_t, std::size_t), setting `ec` instead of
  /// throwing.
  /// @param nameOrId as for module(std::string_view).
  /// @param offset the first byte.
  /// @param count 1 or more, within the map.
  /// @param ec cleared on success, else the failure.
  /// @return the bytes; none when `ec` is set.
  std::vector<std::uint8_t> read(std::string_view nameOrId, std::size_t offset, std::size_t count,
                                 std::error_code& ec) noexcept;

  /// @brief Writes `bytes` into `module`'s IO map from `offset`.
  /// @param module a module find() or module() gave.
  /// @param offset the first byte.
  /// @param bytes 1 or more; `offset` + their number at most the map's size.
  /// @throws brick::Error Errc::bad_value for bytes outside the map (nothing sent), a link
  /// failure, or the brick's refusal.
  void write(const Module& module, std::size_t offset, const std::vector<std::uint8_t>& bytes) {
    std::error_code ec;
    write(module, offset, bytes, ec);
    Error::throwIf(ec, "brick::IoMap::write");
  }
  /// @brief Same as write(const Module&, std::size_t, const std::vector<std::uint8_t>&),
  /// setting `ec` instead of throwing.
  /// @param module a module find() or module() gave.
  /// @param offset the first byte.
  /// @param bytes 1 or more, within the map.
  /// @param ec cleared on success, else the failure.
  void write(const Module& module, std::size_t offset, const std::vector<std::uint8_t>& bytes,
             std::error_code& ec) noexcept;
  /// @brief Writes `bytes` into the IO map of the module `nameOrId` names, from `offset`.
  /// @param nameOrId as for module(std::string_view).
  /// @param offset the first byte.
  /// @param bytes 1 or more, within the map.
  /// @throws brick::Error Errc::no_module, Errc::bad_value for bytes outside the map (nothing
  /// written), a link failure, or the brick's refusal.
  void write(std::string_view nameOrId, std::size_t offset,
             const std::vector<std::uint8_t>& bytes) {
    std::error_code ec;
    write(nameOrId, offset, bytes, ec);
    Error::throwIf(ec, "brick::IoMap::write");
  }
  /// @brief Same as write(std::string_view, std::size_t, const std::vector<std::uint8_t>&),
  /// setting `ec` instead of throwing.
  /// @param nameOrId as for module(std::string_view).
  /// @param offset the first byte.
  /// @param bytes 1 or more, within the map.
  /// @param ec cleared on success, else the failure.
  void write(std::string_view nameOrId, std::size_t offset, const std::vector<std::uint8_t>& bytes,
             std::error_code& ec) noexcept;

 private:
  Comm::SerialCommunication* link;
};

}  // namespace brick

#endif
