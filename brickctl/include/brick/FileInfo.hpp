/// @file
/// @brief brick::FileInfo, one file in the brick's flash.
#ifndef BRICK_FILEINFO_HPP
#define BRICK_FILEINFO_HPP

#include <cstdint>
#include <string>

namespace brick {

/// @brief A file in the brick's flash, as FileStore::list() reports it.
struct FileInfo {
  std::string name;        ///< its 15.3 name, e.g. "robot.rxe"
  std::uint32_t size = 0;  ///< its size in bytes
};

}  // namespace brick

#endif
