// Figures of this process's memory as the kernel reports them in /proc/self/status, in KiB.
// Read with plain system calls: a stream's first use would itself add to the resident set (its
// buffer and locale), between two readings.
#ifndef BENCH_PROCSTATUS_H
#define BENCH_PROCSTATUS_H

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace bench {

// The value of a field such as "VmRSS:" (resident now) or "VmHWM:" (the peak); -1 if none.
inline long statusKb(const char* field) {
  char text[4096] = {};
  int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return -1;
  }
  ssize_t got = ::read(fd, text, sizeof text - 1);
  ::close(fd);
  const char* at = got > 0 ? std::strstr(text, field) : nullptr;
  return at != nullptr ? std::strtol(at + std::strlen(field), nullptr, 10) : -1;
}

}  // namespace bench

#endif
