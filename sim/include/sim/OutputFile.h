// A file bricksim writes: the picture, a recording, a trace. Only ever a regular file (or a new
// one): a device node, directory, FIFO or socket at the path is refused, never replaced or
// written to, so that `--svg /dev/null` run as root leaves the node alone. A regular file
// written again keeps its inode: its mode, owner and hard links stay as they were. A symbolic
// link at the path is replaced by the file itself; its target is never written.
#ifndef SIM_OUTPUTFILE_H
#define SIM_OUTPUTFILE_H

#include <cstdio>
#include <string>

namespace Sim {

class OutputFile {
 public:
  // True when `path` may be written: nothing there yet, a regular file or a symbolic link.
  // Else false, with why in `error`. Run before serving, so that a wrong path ends bricksim
  // before it has done anything.
  static bool check(const std::string& path, std::string& error);

  // For writing as the run goes (a recording, a trace): an existing file is emptied in place.
  // nullptr, with why in `error`, when that cannot be done.
  static std::FILE* open(const std::string& path, std::string& error);

  // Puts `content` at `path` whole, or leaves what was there: written to a new file beside it
  // and renamed into place, with the old file's mode and owner. A file with other hard links
  // is rewritten in place instead (a rename would cut it from them), once its new size is
  // reserved on the disk, so that a full disk refuses the write before anything is changed;
  // only a failure of the disk itself part-way through leaves such a file partly written.
  // False, with why in `error` (and errno kept), on any failure.
  static bool replace(const std::string& path, const std::string& content, std::string& error);
};

}  // namespace Sim

#endif
