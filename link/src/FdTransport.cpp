#include "comm/FdTransport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "comm/LinkCode.h"
#include "comm/TimeLimits.h"

namespace Comm {

namespace {

long codeFromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ECONNREFUSED:
    case EAFNOSUPPORT:
      return kLinkNoDevice;
    case EACCES:
    case EPERM:
      return kLinkAccessDenied;
    case EBUSY:
      return kLinkBusy;
    case EIO:
    case EPIPE:
    case ECONNRESET:
    case ENOTCONN:
      return kLinkClosedByPeer;
    case ETIMEDOUT:
      return kLinkTimeout;
    default:
      return kLinkIoError;
  }
}

// Waits for `events` on fd until the deadline. Returns 0 when ready, or a negative LinkCode.
long waitFor(int fd, short events, const Deadline& deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    int ready = ::poll(&p, 1, deadline.remainingMs());
    if (ready < 0) {
      if (errno == EINTR) {
        continue;
      }
      return codeFromErrno(errno);
    }
    if (ready == 0) {
      return kLinkTimeout;
    }
    if ((p.revents & events) != 0) {
      return kLinkOk;
    }
    if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      return kLinkClosedByPeer;
    }
  }
}

// The kernel's RFCOMM socket address (linux/bluetooth/rfcomm.h), declared here so that the
// link needs no Bluetooth development package.
const int kAfBluetooth = 31;
const int kBtProtoRfcomm = 3;
struct RfcommAddress {
  sa_family_t family;
  std::uint8_t address[6];  // least significant byte first
  std::uint8_t channel;
};

}  // namespace

FdTransport::FdTransport(int descriptor) : fd(descriptor), streamSocket(false) {
  struct stat info;
  streamSocket = ::fstat(fd, &info) == 0 && S_ISSOCK(info.st_mode);
}

FdTransport::~FdTransport() {
  close();
}

bool FdTransport::isBluetoothAddress(const std::string& text) {
  if (text.size() != 17) {
    return false;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (i % 3 == 2) {
      if (c != ':') {
        return false;
      }
    } else if (!std::isxdigit(static_cast<unsigned char>(c))) {
      return false;
    }
  }
  return true;
}

FdTransport* FdTransport::openSerial(const std::string& path, long& code) {
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    code = codeFromErrno(errno);
    return nullptr;
  }
  termios tio;
  if (!::isatty(fd) || ::tcgetattr(fd, &tio) != 0) {
    ::close(fd);
    code = kLinkNoDevice;
    return nullptr;
  }
  // One program at a time: two would take each other's replies. A record lock is the process's,
  // so links of one program may share the device, and it goes when that program ends, however
  // it ends. It binds root too, as every link takes it.
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  if (::fcntl(fd, F_SETLK, &whole) != 0 && (errno == EACCES || errno == EAGAIN)) {
    ::close(fd);
    code = kLinkBusy;
    return nullptr;
  }
  termios before = tio;
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cc[VMIN] = 1;  // with O_NONBLOCK an empty line reads as EAGAIN, not as end of file
  tio.c_cc[VTIME] = 0;
  ::cfsetispeed(&tio, B115200);
  ::cfsetospeed(&tio, B115200);
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
    ::close(fd);
    code = kLinkIoError;
    return nullptr;
  }
  ::tcflush(fd, TCIOFLUSH);
  code = kLinkOk;
  FdTransport* serial = new FdTransport(fd);
  serial->savedTerminal = before;
  serial->restoreTerminal = true;
  return serial;
}

FdTransport* FdTransport::openRfcomm(const std::string& text, int channel, long& code) {
  if (!isBluetoothAddress(text)) {
    code = kLinkNoDevice;
    return nullptr;
  }
  RfcommAddress address{};
  address.family = kAfBluetooth;
  for (int i = 0; i < 6; ++i) {
    // "00:16:53:0A:0B:0C" is stored back to front: 0C first.
    address.address[5 - i] =
        static_cast<std::uint8_t>(std::strtoul(text.substr(3 * i, 2).c_str(), nullptr, 16));
  }
  address.channel = static_cast<std::uint8_t>(channel);
  int fd = ::socket(kAfBluetooth, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, kBtProtoRfcomm);
  if (fd < 0) {
    code = codeFromErrno(errno);
    return nullptr;
  }
  // Paging a brick takes a few seconds; one out of reach is given up on at the deadline rather
  // than after the kernel's own, much longer, time-out.
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    long rc = errno == EINPROGRESS ? waitFor(fd, POLLOUT, Deadline(kConnectTimeoutMs))
                                   : codeFromErrno(errno);
    int error = 0;
    socklen_t size = sizeof error;
    if (rc != kLinkTimeout && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 &&
        error != 0) {
      rc = codeFromErrno(error);
    }
    if (rc != kLinkOk) {
      code = rc;
      ::close(fd);
      return nullptr;
    }
  }
  code = kLinkOk;
  return new FdTransport(fd);
}

long FdTransport::write(const std::uint8_t* data, std::size_t n, const Deadline& deadline) {
  std::size_t done = 0;
  while (done < n) {
    if (fd < 0) {
      return kLinkNotOpen;
    }
    ssize_t put = streamSocket ? ::send(fd, data + done, n - done, MSG_NOSIGNAL)
                               : ::write(fd, data + done, n - done);
    if (put > 0) {
      done += static_cast<std::size_t>(put);
      continue;
    }
    if (put < 0 && errno == EINTR) {
      continue;
    }
    if (put < 0 && errno != EAGAIN) {
      return codeFromErrno(errno);
    }
    long rc = waitFor(fd, POLLOUT, deadline);
    if (rc < 0) {
      return rc;
    }
  }
  return kLinkOk;
}

long FdTransport::read(std::uint8_t* data, std::size_t n, const Deadline& deadline) {
  // Waits first: a reader here has just sent a command, and its reply has yet to come, so a
  // read before the wait would only find nothing.
  for (;;) {
    if (fd < 0) {
      return kLinkNotOpen;
    }
    long rc = waitFor(fd, POLLIN, deadline);
    if (rc < 0) {
      return rc;
    }
    ssize_t got = ::read(fd, data, n);
    if (got > 0) {
      return static_cast<long>(got);
    }
    if (got == 0) {
      return kLinkClosedByPeer;
    }
    if (errno != EINTR && errno != EAGAIN) {
      return codeFromErrno(errno);
    }
  }
}

void FdTransport::discardInput() {
  if (fd < 0) {
    return;
  }
  // What an abandoned exchange leaves is a few telegrams at most; a line that never stops
  // sending is not emptied, only read far enough to give up on, so that this never hangs.
  std::uint8_t sink[256];
  for (int i = 0; i < 64 && ::read(fd, sink, sizeof sink) > 0; ++i) {
  }
}

void FdTransport::close() {
  if (fd >= 0) {
    if (restoreTerminal) {
      // At once: a brick that stopped reading must not hold up the close.
      ::tcsetattr(fd, TCSANOW, &savedTerminal);
    }
    ::close(fd);
    fd = -1;
  }
}

}  // namespace Comm
