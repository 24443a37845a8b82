// The files in the brick's flash: list, upload, download and delete, with system commands.
//
// A file moves in chunks (61 bytes a WRITE, 58 a READ) between an OPEN and a CLOSE. Whatever
// fails on the way, the handle the brick opened is closed again before the operation returns,
// so a failed transfer never leaves the brick short of handles. Every operation returns 0 or a
// code of BrickCode.h (the brick's file status bytes as kBrickStatus + 0x81 ... 0x93: no more
// handles, no space, file not found, file exists, ...), recorded in the link's status record.
// Names are 15.3 names ("prog.rxe"); a longer or malformed name is refused before anything is
// sent.
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

  explicit Files(Block& block);
  explicit Files(Comm::SerialCommunication& link);

  // The files whose names match `pattern` ("*.*" every file, "*.rxe", "prog.rxe"). No match is
  // no failure: an empty list and 0.
  long list(const std::string& pattern, std::vector<Entry>& out);
  // Stores `data` as a new file (OPEN WRITE; an existing file of that name is a failure,
  // kBrickStatus + 0x8F, and is left as it was). A partly written file is deleted again.
  long upload(const std::string& name, const std::vector<std::uint8_t>& data,
              const Progress& progress = Progress());
  // Reads a whole file into `data`.
  long download(const std::string& name, std::vector<std::uint8_t>& data,
                const Progress& progress = Progress());
  long remove(const std::string& name);

 private:
  long closeHandle(std::uint8_t handle);
  Comm::SerialCommunication* link;
};

}  // namespace Lib
}  // namespace Brick

#endif
