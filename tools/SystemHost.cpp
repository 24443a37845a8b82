#include "SystemHost.h"

#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>

namespace BrickTool {

namespace {

std::string groupName(gid_t gid) {
  struct group* entry = ::getgrgid(gid);
  return entry != nullptr ? entry->gr_name : std::to_string(gid);
}

}  // namespace

SystemHost::SystemHost(std::string rootDirectory) : root(std::move(rootDirectory)) {
  while (!root.empty() && root.back() == '/') {
    root.pop_back();
  }
}

std::string SystemHost::locate(const std::string& path) const {
  return root + path;
}

bool SystemHost::exists(const std::string& path) const {
  struct stat info;
  return ::stat(locate(path).c_str(), &info) == 0;
}

bool SystemHost::accessible(const std::string& path) const {
  return ::access(locate(path).c_str(), R_OK | W_OK) == 0;
}

std::vector<std::string> SystemHost::listDirectory(const std::string& path) const {
  std::vector<std::string> names;
  DIR* dir = ::opendir(locate(path).c_str());
  if (dir == nullptr) {
    return names;
  }
  while (struct dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") {
      names.push_back(name);
    }
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

std::string SystemHost::readFile(const std::string& path) const {
  std::ifstream in(locate(path));
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string SystemHost::ownerGroup(const std::string& path) const {
  struct stat info;
  if (::stat(locate(path).c_str(), &info) != 0) {
    return "";
  }
  return groupName(info.st_gid);
}

std::string SystemHost::userName() const {
  struct passwd* entry = ::getpwuid(::geteuid());
  return entry != nullptr ? entry->pw_name : std::to_string(::geteuid());
}

bool SystemHost::isRoot() const {
  return ::geteuid() == 0;
}

std::vector<std::string> SystemHost::sessionGroups() const {
  std::vector<std::string> names{groupName(::getegid())};
  int n = ::getgroups(0, nullptr);
  if (n > 0) {
    std::vector<gid_t> ids(static_cast<std::size_t>(n));
    n = ::getgroups(n, ids.data());
    for (int i = 0; i < n; ++i) {
      names.push_back(groupName(ids[static_cast<std::size_t>(i)]));
    }
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

std::vector<std::string> SystemHost::accountGroups() const {
  struct passwd* entry = ::getpwuid(::geteuid());
  if (entry == nullptr) {
    return sessionGroups();
  }
  int n = 64;
  std::vector<gid_t> ids(static_cast<std::size_t>(n));
  if (::getgrouplist(entry->pw_name, entry->pw_gid, ids.data(), &n) < 0) {
    ids.resize(static_cast<std::size_t>(n));
    if (::getgrouplist(entry->pw_name, entry->pw_gid, ids.data(), &n) < 0) {
      return sessionGroups();
    }
  }
  std::vector<std::string> names;
  for (int i = 0; i < n; ++i) {
    names.push_back(groupName(ids[static_cast<std::size_t>(i)]));
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

std::string SystemHost::variable(const std::string& name) const {
  const char* value = std::getenv(name.c_str());
  return value != nullptr ? value : "";
}

}  // namespace BrickTool
