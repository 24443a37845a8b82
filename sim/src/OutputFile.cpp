#include "sim/OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Sim {

namespace {

const struct {
  mode_t kind;
  const char* name;
} kNotFiles[] = {
    {S_IFCHR, "a device"}, {S_IFBLK, "a device"},  {S_IFDIR, "a directory"},
    {S_IFIFO, "a FIFO"},   {S_IFSOCK, "a socket"},
};

bool refuse(const std::string& path, mode_t mode, std::string& error) {
  for (const auto& row : kNotFiles) {
    if ((mode & S_IFMT) == row.kind) {
      error = path + " is " + row.name + ", not a regular file: bricksim writes only files";
      errno = EEXIST;
      return true;
    }
  }
  return false;
}

bool failed(const std::string& path, std::string& error) {
  error = "cannot write " + path + ": " + std::strerror(errno);
  return false;
}

bool writeAll(int fd, const std::string& content, off_t at) {
  for (std::size_t done = 0; done < content.size();) {
    ssize_t n =
        ::pwrite(fd, content.data() + done, content.size() - done, at + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      errno = n == 0 ? EIO : errno;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Hard links share the inode, so the new content goes into it; the space is reserved first
// (beyond the file's end, its size unchanged) so that a full disk changes nothing.
bool rewriteInPlace(const std::string& path, const std::string& content, std::string& error) {
  int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  struct stat st;
  if (fd < 0) {
    return failed(path, error);
  }
  if (::fstat(fd, &st) != 0 || refuse(path, st.st_mode, error)) {
    int why = errno;
    ::close(fd);
    errno = why;
    return error.empty() ? failed(path, error) : false;
  }
  off_t size = static_cast<off_t>(content.size());
  bool done =
      (size == 0 || ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) == 0 || errno == EOPNOTSUPP) &&
      writeAll(fd, content, 0) && ::ftruncate(fd, size) == 0;
  int why = errno;
  done = ::close(fd) == 0 && done;
  errno = done ? 0 : why;
  return done || failed(path, error);
}

}  // namespace

bool OutputFile::check(const std::string& path, std::string& error) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) {
    return errno == ENOENT || failed(path, error);
  }
  return !refuse(path, st.st_mode, error);
}

std::FILE* OutputFile::open(const std::string& path, std::string& error) {
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && ::unlink(path.c_str()) != 0) {
    failed(path, error);
    return nullptr;
  }
  if (!check(path, error)) {
    return nullptr;
  }
  // Without blocking and without following: whatever took the path's place since the check
  // is looked at again before anything is written.
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                  0666);
  if (fd < 0) {
    failed(path, error);
    return nullptr;
  }
  std::FILE* file = nullptr;
  if (::fstat(fd, &st) == 0 && !refuse(path, st.st_mode, error) && ::fcntl(fd, F_SETFL, 0) == 0 &&
      ::ftruncate(fd, 0) == 0) {
    file = ::fdopen(fd, "w");
  }
  if (file == nullptr) {
    int why = errno;
    ::close(fd);
    errno = why;
    if (error.empty()) {
      failed(path, error);
    }
  }
  return file;
}

bool OutputFile::replace(const std::string& path, const std::string& content, std::string& error) {
  struct stat old;
  bool existed = ::lstat(path.c_str(), &old) == 0;
  if (!existed && errno != ENOENT) {
    return failed(path, error);
  }
  if (existed && !S_ISLNK(old.st_mode) && refuse(path, old.st_mode, error)) {
    return false;
  }
  if (existed && S_ISREG(old.st_mode) && old.st_nlink > 1) {
    return rewriteInPlace(path, content, error);
  }
  // A new file of our own beside it (O_EXCL: never an existing file, a symlink's target or a
  // FIFO), created as any new file is, under the umask.
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temporary = path + ".part." + std::to_string(::getpid()) + "." + std::to_string(attempt);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) {
      return failed(path, error);
    }
  }
  if (fd < 0) {
    return failed(path, error);
  }
  bool written = true;
  if (existed && S_ISREG(old.st_mode)) {
    // The owner first: a change of owner clears the set-id bits the mode then puts back.
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
      // Where possible only: someone else's file in our directory becomes ours.
    }
    written = ::fchmod(fd, old.st_mode & 07777) == 0;
  }
  written = written && writeAll(fd, content, 0);
  int why = written ? 0 : errno;
  if (::close(fd) != 0 && written) {
    written = false;
    why = errno;
  }
  if (written && std::rename(temporary.c_str(), path.c_str()) == 0) {
    return true;
  }
  why = written ? errno : why;
  std::remove(temporary.c_str());  // half a picture, or one that cannot be put in place
  errno = why;
  return failed(path, error);
}

}  // namespace Sim
