// The files in the brick's flash: list, upload, download and delete, with system commands.
//
// A file moves between an OPEN and a CLOSE in chunks as large as the link allows: over
// Bluetooth up to 16 KiB in one WRITE or READ, which the brick streams (a brick that refuses a
// telegram over 64 bytes is remembered for the link, and gets 61-byte WRITEs and 58-byte
// READs); over USB 61-byte WRITEs without replies, the file's size checked after CLOSE, and
// 58-byte READs sent back to back. With setConfirmCommands each USB WRITE waits for its reply.
// Whatever fails on the way, the handle the brick opened is closed again before the operation
// returns, so a failed transfer never leaves the brick short of handles. Every operation returns 0
// or a code of BrickCode.h (the brick's file status bytes as kBrickStatus + 0x81 ... 0x93: no more
// handles, no space, file not found, file exists, ...), recorded in the link's status record.
// Names follow the brick's rule: at most 19 characters, compared by the brick in any case
// ("PROG.RXE" is "prog.rxe"); only a longer name is refused before anything is sent.
#ifndef BRICK_FILES_H
#define BRICK_FILES_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "brick/Export.h"

namespace Comm {
class SerialCommunication;
}

namespace Brick {
namespace Lib {

class Block;

class BRICKCTL_API Files {
 public:
  struct Entry {
    std::string name;
    std::uint32_t size;
  };
  // Called after each chunk with the bytes moved so far and the file's size.
  using Progress = std::function<void(std::size_t done, std::size_t total)>;
  // Fills `buffer` with the next bytes of a file being uploaded, at most `most`; returns how
  // many it gave, or -1 to stop the upload (the host was interrupted, the file could not be
  // read). Called between WRITEs, so it is also where a host notices that it must stop.
  using Source = std::function<long(std::uint8_t* buffer, std::size_t most)>;

  explicit Files(Block& block);
  explicit Files(Comm::SerialCommunication& link);

  // The files whose names match `pattern`, by the brick's rules: "*.*" every file, "prog.*",
  // "*.rxe" (".rxe" anywhere in the name) or a whole name. No match is no failure: an empty
  // list and 0. The search's handle is closed before it returns.
  long list(const std::string& pattern, std::vector<Entry>& out);
  // Stores `data` as a new file (OPEN WRITE; an existing file of that name is a failure,
  // kBrickStatus + 0x8F, and is left as it was). A partly written file is deleted again.
  long upload(const std::string& name, const std::vector<std::uint8_t>& data,
              const Progress& progress = Progress());
  // Stores a file of `size` bytes that `source` hands over chunk by chunk, so a file of any
  // size passes through at most 16 KiB of memory (a chunk). The brick's free flash (GET DEVICE
  // INFO) is asked first: a file that cannot fit is kBrickNoRoom, with no OPEN WRITE sent. A source
  // that stops (-1) or ends before `size` bytes gives kBrickStopped; as for any failure once
  // the file is open, the handle is closed and the half-written file deleted first.
  long upload(const std::string& name, std::uint32_t size, const Source& source,
              const Progress& progress = Progress());
  // Reads a whole file into `data`.
  long download(const std::string& name, std::vector<std::uint8_t>& data,
                const Progress& progress = Progress());
  long remove(const std::string& name);
  // Sends CLOSE for each of the brick's 16 handles, for what an interrupted client left open
  // (a file that stays "busy", or a brick out of handles). It closes the handles of any other
  // client too. A free handle answers 0x88, which is no failure here: 0, with the number of
  // handles that were open in `closed`, or the link's code.
  long closeAllHandles(int& closed);

 private:
  long write(const std::string& name, std::uint32_t size, const Source& source,
             const Progress& progress);
  long writeLong(std::uint8_t handle, const std::uint8_t* telegram, std::size_t chunk,
                 const Progress& progress, std::size_t& done, std::size_t size);
  long checkSize(const std::string& name, std::uint32_t size);
  long readLong(std::uint8_t handle, std::size_t size, std::vector<std::uint8_t>& data);
  long readRun(std::uint8_t handle, std::size_t size, std::vector<std::uint8_t>& data,
               std::size_t inFlight = kReadsInFlightDefault);
  long closeHandle(std::uint8_t handle);
  static constexpr std::size_t kReadsInFlightDefault = 2;
  Comm::SerialCommunication* link;
};

}  // namespace Lib
}  // namespace Brick

#endif
