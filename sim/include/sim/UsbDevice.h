// The virtual brick as a USB brick that any program can open, ours or not: umockdev's testbed
// holds its sysfs entry and its /dev/bus/usb node, and what a program asks of the node (its
// descriptors read from it, the usbdevfs ioctls: claim, release, set configuration, reset,
// control and bulk transfers, synchronous or by URB) is answered here, bulk OUT telegrams going
// to the brick and its replies coming back on bulk IN.
//
// A program sees the device only when it runs with libumockdev-preload.so loaded and the
// testbed's directory in UMOCKDEV_DIR: start() sets the latter in this process's environment,
// for a command started afterwards to inherit (ChildCommand adds the former).
//
// Built only where umockdev is (libumockdev-dev); elsewhere available() is false and start()
// says so.
#ifndef SIM_USBDEVICE_H
#define SIM_USBDEVICE_H

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "sim/LinkModel.h"
#include "sim/VirtualBrick.h"

namespace Sim {

class UsbDevice {
 public:
  // Whether this bricksim was built with the emulation.
  static bool available();

  // `lock` guards the brick against its other users (the robot's clock, the live page): the
  // device holds it while the brick answers.
  UsbDevice(VirtualBrick& brick, std::function<std::unique_lock<std::mutex>()> lock);
  ~UsbDevice();
  UsbDevice(const UsbDevice&) = delete;
  UsbDevice& operator=(const UsbDevice&) = delete;

  // Both before start(). The trace is called with each telegram and its reply (empty when none)
  // under the lock. The link model paces the replies as PtyServer's does; with `pass` its time
  // is handed to a stepped clock instead of waited.
  void setTrace(std::function<void(const Bytes&, const Bytes&)> trace);
  void setLinkModel(const LinkModel& model, std::function<void(double seconds)> pass = nullptr);

  // Lays out the testbed with the brick in it and starts answering. False, with the reason,
  // when it cannot.
  bool start(std::string& error);
  // Stops answering and removes the testbed.
  void stop();
  // The brick's node, e.g. /dev/bus/usb/001/002.
  std::string node() const;

  struct State;

 private:
  std::unique_ptr<State> state;
};

}  // namespace Sim

#endif
