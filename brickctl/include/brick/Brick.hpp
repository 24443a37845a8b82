/// @file
/// @brief brick::Brick, one brick and its connection.
#ifndef BRICK_BRICK_HPP
#define BRICK_BRICK_HPP

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "brick/ColourSensor.hpp"
#include "brick/Error.hpp"
#include "brick/Export.h"
#include "brick/FileStore.hpp"
#include "brick/I2cSensor.hpp"
#include "brick/Input.hpp"
#include "brick/LightSensor.hpp"
#include "brick/Mailboxes.hpp"
#include "brick/Motor.hpp"
#include "brick/MotorPair.hpp"
#include "brick/Port.hpp"
#include "brick/Programs.hpp"
#include "brick/SoundSensor.hpp"
#include "brick/TouchSensor.hpp"
#include "brick/UltrasonicSensor.hpp"

namespace Comm {
class SerialCommunication;
}

namespace brick {

/// @brief One brick: owns the connection to it, closes it when it goes, and hands out its
/// motors, sensors, files, programs and mailboxes.
///
/// Move-only. Closing (close() or the destructor) first stops the motors and the sound, unless
/// keepRunning() said not to. The objects it hands out are small handles that refer to the
/// connection: use them only while the brick is open (a moved-to Brick keeps them valid).
///
/// Every call's outcome is its own: the code it throws or sets comes from its own exchanges
/// with the brick, whatever other threads do. Threads: any number of threads may use one open
/// Brick and its handles at once, each command and its reply being one exchange no other comes
/// between; opening, closing and moving happen while no other thread uses it. The rule in full
/// is in docs/threads.md.
class BRICKCTL_API Brick {
 public:
  /// @brief Opens the brick `device` designates.
  /// @param device "usb" for the first brick on USB, a Bluetooth address
  /// ("00:16:53:01:02:03"), or a device path ("/dev/rfcomm0", a pseudo-terminal); empty for
  /// the default, as open() finds it.
  /// @throws brick::Error Errc::no_device, Errc::access_denied, Errc::busy,
  /// Errc::bad_argument (a path over 255 characters), or another link failure.
  explicit Brick(std::string_view device);

  /// @brief Opens the brick the `brick` tool uses when told none: the one the variable
  /// BRICK_DEVICE names, else the one the `device = ...` line of ~/.config/brick/config names
  /// (under $XDG_CONFIG_HOME when set), else the first brick on USB, else the first bound
  /// RFCOMM device that answers.
  /// @return the open brick.
  /// @throws brick::Error as Brick(std::string_view) does.
  static Brick open() { return Brick(std::string_view()); }
  /// @brief Same as open(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  /// @return the open brick, or a closed one when `ec` is set.
  static Brick open(std::error_code& ec) noexcept { return open(std::string_view(), ec); }
  /// @brief Same as Brick(std::string_view), setting `ec` instead of throwing.
  /// @param device as for Brick(std::string_view).
  /// @param ec cleared on success, else the failure.
  /// @return the open brick, or a closed one when `ec` is set.
  static Brick open(std::string_view device, std::error_code& ec) noexcept;
  /// @brief A Brick on a connection the program opened itself (a transport of its own, a
  /// test's virtual brick), sharing it.
  /// @param link an open connection; the Brick holds a copy, which shares its device.
  /// @return the brick.
  static Brick adopt(const Comm::SerialCommunication& link);

  /// @brief Takes over `other`'s connection; `other` is left closed.
  /// @param other the brick to take over.
  Brick(Brick&& other) noexcept;
  /// @brief Closes this brick's connection (see close()) and takes over `other`'s.
  /// @param other the brick to take over.
  /// @return this brick.
  Brick& operator=(Brick&& other) noexcept;
  /// @brief Not copyable: one Brick owns its connection.
  Brick(const Brick&) = delete;
  /// @brief Not copyable: one Brick owns its connection.
  /// @return never.
  Brick& operator=(const Brick&) = delete;
  /// @brief Closes the connection as close() does, failures ignored.
  ~Brick();

  /// @brief Whether the connection is open.
  /// @return true until close(), a move, or a failed open.
  bool isOpen() const noexcept;

  /// @brief Stops the motors and the sound (unless keepRunning() said not to) and closes the
  /// connection; harmless on a closed brick.
  /// @throws brick::Error when stopping failed (the connection is closed all the same).
  void close() {
    std::error_code ec;
    close(ec);
    Error::throwIf(ec, "brick::Brick::close");
  }
  /// @brief Same as close(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure of stopping.
  void close(std::error_code& ec) noexcept;
  /// @brief Whether closing leaves the motors and the sound as they are.
  /// @param keep true: a program whose robot drives on after it; false (the default): stop.
  void keepRunning(bool keep = true) noexcept { stopOnClose = !keep; }

  /// @brief The motor on `port`; sends nothing.
  /// @param port the output.
  /// @return its handle.
  Motor motor(Port port) noexcept { return Motor(link.get(), port); }
  /// @brief Two motors driven in step; sends nothing.
  /// @param first the first motor's output.
  /// @param second the second motor's output.
  /// @return their handle.
  /// @throws brick::Error Errc::bad_port when both are the same.
  MotorPair pair(Port first, Port second) {
    std::error_code ec;
    MotorPair both = pair(first, second, ec);
    Error::throwIf(ec, "brick::Brick::pair");
    return both;
  }
  /// @brief Same as pair(Port, Port), setting `ec` instead of throwing.
  /// @param first the first motor's output.
  /// @param second the second motor's output.
  /// @param ec cleared on success, else the failure.
  /// @return their handle (use it only when `ec` is clear).
  MotorPair pair(Port first, Port second, std::error_code& ec) noexcept;

  /// @brief Sets `input` up for a touch sensor.
  /// @param input the sensor's input.
  /// @return its handle.
  /// @throws brick::Error a link failure, or the brick's refusal.
  TouchSensor touchSensor(Input input) {
    std::error_code ec;
    TouchSensor sensor = touchSensor(input, ec);
    Error::throwIf(ec, "brick::Brick::touchSensor");
    return sensor;
  }
  /// @brief Same as touchSensor(Input), setting `ec` instead of throwing.
  /// @param input the sensor's input.
  /// @param ec cleared on success, else the failure.
  /// @return its handle.
  TouchSensor touchSensor(Input input, std::error_code& ec) noexcept;
  /// @brief Sets `input` up for a light sensor.
  /// @param input the sensor's input.
  /// @param floodlight true lights the sensor's own lamp (reflected light); false reads the
  /// light about it.
  /// @return its handle.
  /// @throws brick::Error a link failure, or the brick's refusal.
  LightSensor lightSensor(Input input, bool floodlight = true) {
    std::error_code ec;
    LightSensor sensor = lightSensor(input, floodlight, ec);
    Error::throwIf(ec, "brick::Brick::lightSensor");
    return sensor;
  }
  /// @brief Same as lightSensor(Input, bool), setting `ec` instead of throwing.
  /// @param input the sensor's input.
  /// @param floodlight true lights the sensor's own lamp.
  /// @param ec cleared on success, else the failure.
  /// @return its handle.
  LightSensor lightSensor(Input input, bool floodlight, std::error_code& ec) noexcept;
  /// @brief Sets `input` up for a sound sensor (decibels).
  /// @param input the sensor's input.
  /// @return its handle.
  /// @throws brick::Error a link failure, or the brick's refusal.
  SoundSensor soundSensor(Input input) {
    std::error_code ec;
    SoundSensor sensor = soundSensor(input, ec);
    Error::throwIf(ec, "brick::Brick::soundSensor");
    return sensor;
  }
  /// @brief Same as soundSensor(Input), setting `ec` instead of throwing.
  /// @param input the sensor's input.
  /// @param ec cleared on success, else the failure.
  /// @return its handle.
  SoundSensor soundSensor(Input input, std::error_code& ec) noexcept;
  /// @brief Sets `input` up for a colour sensor telling colours apart.
  /// @param input the sensor's input.
  /// @return its handle.
  /// @throws brick::Error a link failure, or the brick's refusal.
  ColourSensor colourSensor(Input input) {
    std::error_code ec;
    ColourSensor sensor = colourSensor(input, ec);
    Error::throwIf(ec, "brick::Brick::colourSensor");
    return sensor;
  }
  /// @brief Same as colourSensor(Input), setting `ec` instead of throwing.
  /// @param input the sensor's input.
  /// @param ec cleared on success, else the failure.
  /// @return its handle.
  ColourSensor colourSensor(Input input, std::error_code& ec) noexcept;
  /// @brief Sets `input` up for an ultrasonic sensor; nothing else is needed before reading.
  /// @param input the sensor's input.
  /// @return its handle.
  /// @throws brick::Error a link failure, or the brick's refusal.
  UltrasonicSensor ultrasonicSensor(Input input) {
    std::error_code ec;
    UltrasonicSensor sensor = ultrasonicSensor(input, ec);
    Error::throwIf(ec, "brick::Brick::ultrasonicSensor");
    return sensor;
  }
  /// @brief Same as ultrasonicSensor(Input), setting `ec` instead of throwing.
  /// @param input the sensor's input.
  /// @param ec cleared on success, else the failure.
  /// @return its handle.
  UltrasonicSensor ultrasonicSensor(Input input, std::error_code& ec) noexcept;
  /// @brief Sets `input` up for a digital sensor on its I2C bus, powered at 9 V as the
  /// ultrasonic sensor is.
  /// @param input the sensor's input.
  /// @param address its bus address; 0x02 for most of the family's sensors.
  /// @return its handle.
  /// @throws brick::Error a link failure, or the brick's refusal.
  I2cSensor i2cSensor(Input input, std::uint8_t address = 0x02) {
    std::error_code ec;
    I2cSensor sensor = i2cSensor(input, address, ec);
    Error::throwIf(ec, "brick::Brick::i2cSensor");
    return sensor;
  }
  /// @brief Same as i2cSensor(Input, std::uint8_t), setting `ec` instead of throwing.
  /// @param input the sensor's input.
  /// @param address its bus address.
  /// @param ec cleared on success, else the failure.
  /// @return its handle.
  I2cSensor i2cSensor(Input input, std::uint8_t address, std::error_code& ec) noexcept;

  /// @brief Plays a tone; returns at once, while it sounds.
  /// @param hertz 200 to 14000.
  /// @param duration up to 65.535 s.
  /// @throws brick::Error Errc::bad_value for a frequency or duration out of range, a link
  /// failure, or the brick's refusal.
  void playTone(int hertz, std::chrono::milliseconds duration) {
    std::error_code ec;
    playTone(hertz, duration, ec);
    Error::throwIf(ec, "brick::Brick::playTone");
  }
  /// @brief Same as playTone(int, std::chrono::milliseconds), setting `ec` instead of throwing.
  /// @param hertz 200 to 14000.
  /// @param duration up to 65.535 s.
  /// @param ec cleared on success, else the failure.
  void playTone(int hertz, std::chrono::milliseconds duration, std::error_code& ec) noexcept;
  /// @brief Plays a sound file stored on the brick.
  /// @param name its 15.3 name, e.g. "Good Job.rso".
  /// @param loop true plays it again and again until stopSound().
  /// @throws brick::Error Errc::bad_file_name, Errc::out_of_range (no such file), a link
  /// failure, or the brick's refusal.
  void playSound(std::string_view name, bool loop = false) {
    std::error_code ec;
    playSound(name, loop, ec);
    Error::throwIf(ec, "brick::Brick::playSound");
  }
  /// @brief Same as playSound(std::string_view, bool), setting `ec` instead of throwing.
  /// @param name its 15.3 name.
  /// @param loop true plays it until stopSound().
  /// @param ec cleared on success, else the failure.
  void playSound(std::string_view name, bool loop, std::error_code& ec) noexcept;
  /// @brief Stops a tone or a sound file.
  /// @throws brick::Error a link failure, or the brick's refusal.
  void stopSound() {
    std::error_code ec;
    stopSound(ec);
    Error::throwIf(ec, "brick::Brick::stopSound");
  }
  /// @brief Same as stopSound(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  void stopSound(std::error_code& ec) noexcept;

  /// @brief The battery's voltage.
  /// @return millivolts.
  /// @throws brick::Error a link failure, or the brick's refusal.
  int batteryMillivolts() {
    std::error_code ec;
    int millivolts = batteryMillivolts(ec);
    Error::throwIf(ec, "brick::Brick::batteryMillivolts");
    return millivolts;
  }
  /// @brief Same as batteryMillivolts(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  /// @return millivolts; 0 when `ec` is set.
  int batteryMillivolts(std::error_code& ec) noexcept;

  /// @brief The brick's name, as its display shows it.
  /// @return the name.
  /// @throws brick::Error a link failure, or the brick's refusal.
  std::string name() {
    std::error_code ec;
    std::string text = name(ec);
    Error::throwIf(ec, "brick::Brick::name");
    return text;
  }
  /// @brief Same as name(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  /// @return the name; empty when `ec` is set.
  std::string name(std::error_code& ec) noexcept;
  /// @brief Renames the brick.
  /// @param name 1 to 15 bytes, no NUL inside.
  /// @throws brick::Error Errc::bad_value for a name of another length, a link failure, or the
  /// brick's refusal.
  void rename(std::string_view name) {
    std::error_code ec;
    rename(name, ec);
    Error::throwIf(ec, "brick::Brick::rename");
  }
  /// @brief Same as rename(std::string_view), setting `ec` instead of throwing.
  /// @param name 1 to 15 bytes, no NUL inside.
  /// @param ec cleared on success, else the failure.
  void rename(std::string_view name, std::error_code& ec) noexcept;

  /// @brief The files in the brick's flash; sends nothing.
  /// @return their handle.
  FileStore files() noexcept { return FileStore(link.get()); }
  /// @brief The programs on the brick; sends nothing.
  /// @return their handle.
  Programs programs() noexcept { return Programs(link.get()); }
  /// @brief The mailboxes to and from the brick's program; sends nothing.
  /// @return their handle.
  Mailboxes mailboxes() noexcept { return Mailboxes(link.get()); }

  /// @brief The connection underneath, for the classes this API is built on (Brick::Lib's
  /// Files, Output, ...) and for tracing; nullptr on a moved-from brick.
  /// @return the connection.
  Comm::SerialCommunication* connection() noexcept { return link.get(); }

 private:
  explicit Brick(std::unique_ptr<Comm::SerialCommunication> link) noexcept;
  // SETINPUTMODE, the outcome its own.
  void configure(Input input, std::uint8_t type, std::uint8_t mode, std::error_code& ec) noexcept;

  std::unique_ptr<Comm::SerialCommunication> link;
  bool stopOnClose = true;
};

}  // namespace brick

#endif
