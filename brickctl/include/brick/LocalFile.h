// A file on the host about to be uploaded, read as it is sent rather than whole. Its size must be
// known before OPEN WRITE, so only a regular file will do: a device such as /dev/zero, a FIFO or
// a directory is refused. It is opened without blocking (a FIFO would otherwise hold the caller
// until someone writes to it) and closed when the object goes.
#ifndef BRICK_LOCALFILE_H
#define BRICK_LOCALFILE_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "brick/Export.h"

namespace Brick {
namespace Lib {

class BRICKCTL_API LocalFile {
 public:
  enum class State {
    kReady,       // open, regular, and of a size a brick's file can have
    kUnreadable,  // could not be opened or looked at: error() says why
    kNotRegular,  // a device, FIFO, directory or socket
    kTooLarge,    // over what the brick's 32-bit size field describes
  };

  explicit LocalFile(const std::string& path);
  ~LocalFile();
  LocalFile(const LocalFile&) = delete;
  LocalFile& operator=(const LocalFile&) = delete;

  State state() const { return current; }
  // The errno of the failure that made the file unreadable, or of the last read that failed.
  int error() const { return lastError; }
  std::uint32_t size() const { return bytes; }
  // Reads up to `most` bytes (an interrupted read is tried again): how many, 0 at the end, or
  // -1 when reading failed (error() says why). Fits Files::Source.
  long read(std::uint8_t* buffer, std::size_t most);

 private:
  int fd = -1;
  State current = State::kUnreadable;
  int lastError = 0;
  std::uint32_t bytes = 0;
};

}  // namespace Lib
}  // namespace Brick

#endif
