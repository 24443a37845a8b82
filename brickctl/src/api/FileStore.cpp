#include "brick/FileStore.hpp"

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>

#include "Outcome.h"
#include "brick/Files.h"

namespace brick {

using ::Brick::Lib::Files;
using detail::setOutcome;
using detail::usable;

namespace {

// The bytes from `in`'s position to its end, or -1 when it cannot seek (a pipe): then it is
// read whole first.
long long remaining(std::istream& in) {
  std::istream::pos_type start = in.tellg();
  if (start == std::istream::pos_type(-1) || !in.seekg(0, std::ios::end)) {
    in.clear();
    return -1;
  }
  std::istream::pos_type end = in.tellg();
  in.seekg(start);
  return end == std::istream::pos_type(-1) ? -1 : static_cast<long long>(end - start);
}

}  // namespace

std::vector<FileInfo> FileStore::list(std::string_view pattern, std::error_code& ec) noexcept {
  std::vector<FileInfo> out;
  if (!usable(link, ec)) {
    return out;
  }
  std::vector<Files::Entry> entries;
  setOutcome(ec, Files(*link).list(std::string(pattern), entries));
  if (!ec) {
    for (const Files::Entry& entry : entries) {
      out.push_back(FileInfo{entry.name, entry.size});
    }
  }
  return out;
}

void FileStore::upload(std::string_view name, std::istream& in, const Progress& progress,
                       std::error_code& ec) noexcept {
  if (!usable(link, ec)) {
    return;
  }
  // A stream set to throw must not throw through here: its failure stops the upload.
  try {
    long long size = remaining(in);
    if (size < 0) {
      std::vector<std::uint8_t> data;
      char chunk[512];
      while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        data.insert(data.end(), chunk, chunk + in.gcount());
      }
      if (in.bad()) {
        ec = make_error_code(Errc::stopped);
        return;
      }
      setOutcome(ec, Files(*link).upload(std::string(name), data, progress));
      return;
    }
    if (size > UINT32_MAX) {
      ec = make_error_code(Errc::file_too_large);
      return;
    }
    Files::Source source = [&in](std::uint8_t* buffer, std::size_t most) -> long {
      in.read(reinterpret_cast<char*>(buffer), static_cast<std::streamsize>(most));
      return in.bad() ? -1 : static_cast<long>(in.gcount());
    };
    setOutcome(ec, Files(*link).upload(std::string(name), static_cast<std::uint32_t>(size), source,
                                       progress));
  } catch (const std::exception&) {
    ec = make_error_code(Errc::stopped);
  }
}

void FileStore::download(std::string_view name, std::ostream& out, const Progress& progress,
                         std::error_code& ec) noexcept {
  if (!usable(link, ec)) {
    return;
  }
  std::vector<std::uint8_t> data;
  setOutcome(ec, Files(*link).download(std::string(name), data, progress));
  if (ec) {
    return;
  }
  try {
    if (!out.write(reinterpret_cast<const char*>(data.data()),
                   static_cast<std::streamsize>(data.size()))) {
      ec = make_error_code(Errc::stopped);
    }
  } catch (const std::exception&) {
    ec = make_error_code(Errc::stopped);
  }
}

void FileStore::remove(std::string_view name, std::error_code& ec) noexcept {
  if (usable(link, ec)) {
    setOutcome(ec, Files(*link).remove(std::string(name)));
  }
}

}  // namespace brick
