// How the brick's loader compares file names: case-insensitively, and by its own few search
// patterns rather than general wildcards.
#ifndef SIM_FILENAMES_H
#define SIM_FILENAMES_H

#include <string>

namespace Sim {
namespace FileNames {

// True when `a` and `b` name the same file: the brick upper-cases both before comparing.
bool same(const std::string& a, const std::string& b);

// True when a FIND pattern takes `name`: "*.*" every file; "NAME.*" the files whose name
// starts with "NAME."; "*.EXT" the files holding ".EXT" (at most 4 characters) anywhere, so
// "*.rx" finds "w2.rxe"; anything else only the file of that very name.
bool matches(const std::string& pattern, const std::string& name);

// True for a name the brick keeps as a program or system file, which it does not open as a
// data file: extension .rxe, .rtm or .sys.
bool executable(const std::string& name);

}  // namespace FileNames
}  // namespace Sim

#endif
