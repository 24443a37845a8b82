/// @file
/// @brief brick::DeviceSetting, a text that names a brick's device.
#ifndef BRICK_DEVICESETTING_HPP
#define BRICK_DEVICESETTING_HPP

#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "brick/Export.h"

namespace brick {

/// @brief Where a brick is, as a person names it: "usb", a Bluetooth address or a device path.
/// Brick::open() reads it; the `brick` tool reads its BRICK_DEVICE and its config file with it.
class BRICKCTL_API DeviceSetting {
 public:
  /// @brief The kind of place a setting names.
  enum class Kind {
    Usb,        ///< the first brick on USB
    Bluetooth,  ///< a Bluetooth address, XX:XX:XX:XX:XX:XX
    Path,       ///< a serial device or pseudo-terminal
  };

  /// @brief The longest device path a setting may hold.
  static constexpr std::size_t maxPath = 255;

  /// @brief Reads a device text.
  /// @param text "usb", a Bluetooth address or a device path.
  /// @param ec cleared on success; Errc::bad_argument for an empty text or a path over maxPath
  /// characters.
  /// @return the setting, or nothing when `ec` is set.
  static std::optional<DeviceSetting> parse(std::string_view text, std::error_code& ec) noexcept;

  /// @brief The setting a program uses when told no device: the variable BRICK_DEVICE, else
  /// the last `device = ...` line of the config file ($XDG_CONFIG_HOME/brick/config, or
  /// ~/.config/brick/config); other lines of it are passed over.
  /// @param ec cleared unless the setting found cannot be used (Errc::bad_argument).
  /// @return the setting, or nothing when neither names one (or `ec` is set).
  static std::optional<DeviceSetting> configured(std::error_code& ec) noexcept;

  /// @brief Splits one line of the config file as configured() reads it: `KEY = VALUE`, blanks
  /// around each trimmed.
  /// @param line the line as read.
  /// @param key set to the key; empty when the line holds no `=` or nothing before it.
  /// @param value set to the value.
  /// @return false for a blank line or a comment (`#` first), which hold no setting.
  static bool splitConfigLine(std::string_view line, std::string& key, std::string& value);

  /// @brief The config file's path, as configured() reads it.
  /// @return the path; empty when neither XDG_CONFIG_HOME (absolute) nor HOME is set.
  static std::string configPath();

  /// @brief The kind of place.
  /// @return its kind.
  Kind kind() const noexcept { return what; }
  /// @brief Whether it names USB.
  /// @return true for "usb".
  bool usb() const noexcept { return what == Kind::Usb; }
  /// @brief The address or the path.
  /// @return the text; empty for USB.
  const std::string& text() const noexcept { return where; }

 private:
  DeviceSetting(Kind kind, std::string text) : what(kind), where(std::move(text)) {}

  Kind what;
  std::string where;
};

}  // namespace brick

#endif
