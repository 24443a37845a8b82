/// @file
/// @brief brick::FileStore, the files in the brick's flash, moved as streams.
#ifndef BRICK_FILESTORE_HPP
#define BRICK_FILESTORE_HPP

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "brick/Error.hpp"
#include "brick/Export.h"
#include "brick/FileInfo.hpp"

namespace Comm {
class SerialCommunication;
}

namespace brick {

class Brick;

/// @brief The files in the brick's flash, got from Brick::files(). Copy it freely, but use it
/// only while its brick::Brick is open.
///
/// Names are 15.3 names ("robot.rxe"); any other is refused with Errc::bad_file_name before
/// anything is sent. A transfer is many exchanges; whatever fails on the way, the brick's file
/// handle is closed again, and a half-written file deleted.
class BRICKCTL_API FileStore {
 public:
  /// @brief Called after each chunk with the bytes moved so far and the file's size.
  using Progress = std::function<void(std::size_t done, std::size_t total)>;

  /// @brief The files whose names match `pattern`.
  /// @param pattern "*.*" for every file, "*.rxe", "robot.rxe", ...
  /// @return the files; none when nothing matches.
  /// @throws brick::Error Errc::bad_file_name, a link failure, or the brick's refusal.
  std::vector<FileInfo> list(std::string_view pattern = "*.*") {
    std::error_code ec;
    std::vector<FileInfo> files = list(pattern, ec);
    Error::throwIf(ec, "brick::FileStore::list");
    return files;
  }
  /// @brief Same as list(std::string_view), setting `ec` instead of throwing.
  /// @param pattern "*.*" for every file, "*.rxe", "robot.rxe", ...
  /// @param ec cleared on success, else the failure.
  /// @return the files; none when `ec` is set.
  std::vector<FileInfo> list(std::string_view pattern, std::error_code& ec) noexcept;

  /// @brief Stores what `in` holds, to its end, as a new file `name`.
  ///
  /// A seekable stream (a file) is sent as it is read; another is read whole first, as the
  /// brick wants the size before the data.
  /// @param name the new file's 15.3 name.
  /// @param in the data.
  /// @param progress called after each chunk; may be empty.
  /// @throws brick::Error Errc::bad_file_name, Errc::file_exists (the file stays as it was),
  /// Errc::no_room, Errc::file_too_large, Errc::stopped (`in` failed), a link failure, or the
  /// brick's refusal.
  void upload(std::string_view name, std::istream& in, const Progress& progress = {}) {
    std::error_code ec;
    upload(name, in, progress, ec);
    Error::throwIf(ec, "brick::FileStore::upload");
  }
  /// @brief Same as upload(std::string_view, std::istream&, const Progress&), setting `ec`
  /// instead of throwing.
  /// @param name the new file's 15.3 name.
  /// @param in the data.
  /// @param progress called after each chunk; may be empty.
  /// @param ec cleared on success, else the failure.
  void upload(std::string_view name, std::istream& in, const Progress& progress,
              std::error_code& ec) noexcept;

  /// @brief Writes the file `name` to `out`.
  /// @param name the file's 15.3 name.
  /// @param out where its bytes go.
  /// @param progress called after each chunk; may be empty.
  /// @throws brick::Error Errc::bad_file_name, Errc::file_not_found, Errc::stopped (`out`
  /// failed), a link failure, or the brick's refusal.
  void download(std::string_view name, std::ostream& out, const Progress& progress = {}) {
    std::error_code ec;
    download(name, out, progress, ec);
    Error::throwIf(ec, "brick::FileStore::download");
  }
  /// @brief Same as download(std::string_view, std::ostream&, const Progress&), setting `ec`
  /// instead of throwing.
  /// @param name the file's 15.3 name.
  /// @param out where its bytes go.
  /// @param progress called after each chunk; may be empty.
  /// @param ec cleared on success, else the failure.
  void download(std::string_view name, std::ostream& out, const Progress& progress,
                std::error_code& ec) noexcept;

  /// @brief Deletes the file `name`.
  /// @param name the file's 15.3 name.
  /// @throws brick::Error Errc::bad_file_name, Errc::file_not_found, a link failure, or the
  /// brick's refusal.
  void remove(std::string_view name) {
    std::error_code ec;
    remove(name, ec);
    Error::throwIf(ec, "brick::FileStore::remove");
  }
  /// @brief Same as remove(std::string_view), setting `ec` instead of throwing.
  /// @param name the file's 15.3 name.
  /// @param ec cleared on success, else the failure.
  void remove(std::string_view name, std::error_code& ec) noexcept;

 private:
  friend class Brick;
  explicit FileStore(Comm::SerialCommunication* link) noexcept : link(link) {}

  Comm::SerialCommunication* link;
};

}  // namespace brick

#endif
