// A byte stream on a file descriptor: a serial device (a bound /dev/rfcommN or a
// pseudo-terminal) or an RFCOMM socket. Every wait is a poll() bounded by the deadline.
#ifndef COMM_FDTRANSPORT_H
#define COMM_FDTRANSPORT_H

#include <termios.h>

#include <string>

#include "comm/Export.h"
#include "comm/Transport.h"

namespace Comm {

class COMM_API FdTransport : public Transport {
 public:
  // Takes ownership of an open, non-blocking descriptor.
  explicit FdTransport(int fd);
  ~FdTransport() override;

  // Opens a serial device in raw mode; closing gives it back the settings it had. Null on failure,
  // with a LinkCode in `code`.
  static FdTransport* openSerial(const std::string& path, long& code);
  // Connects an RFCOMM socket to a Bluetooth address "XX:XX:XX:XX:XX:XX" on `channel`.
  static FdTransport* openRfcomm(const std::string& address, int channel, long& code);
  // True when the text has the form of a Bluetooth address.
  static bool isBluetoothAddress(const std::string& text);

  long write(const std::uint8_t* data, std::size_t n, const Deadline& deadline) override;
  long read(std::uint8_t* data, std::size_t n, const Deadline& deadline) override;
  void discardInput() override;
  void close() override;

 private:
  int fd;
  // Sockets are written with send(), which keeps a vanished peer from raising SIGPIPE; serial
  // devices take write(). Known once, so that a write costs one system call.
  bool streamSocket;
  // A terminal's settings before openSerial made it raw, put back on close.
  bool restoreTerminal = false;
  termios savedTerminal{};
};

}  // namespace Comm

#endif
