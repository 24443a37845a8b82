// The commands that reach into the brick's firmware modules: iomap (list the modules, dump or
// write a module's IO map), screenshot (the screen as a PNG) and button (a press from afar).
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Connection.h"
#include "brick/BrickCode.h"
#include "brick/Buttons.h"
#include "brick/IoMap.h"
#include "brick/Picture.hpp"
#include "brick/Screen.h"

namespace BrickTool {

namespace {

using Brick::Lib::brickCodeText;
using Brick::Lib::IoMap;

// What a failed operation means to the user: the brick's refusal said here, a link failure
// explained by the tool.
int failed(Run& run, long code, const std::string& what) {
  if (Brick::Lib::isBrickStatus(code) || code <= -1100) {
    run.err << "brick: " << shown(what) << ": " << brickCodeText(code) << "\n";
    return kExitFailed;
  }
  return linkFailure(run, code);
}

// An offset or length: decimal, or hex after 0x.
bool sizeIn(const std::string& text, unsigned long most, std::size_t& value) {
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) {
    return false;
  }
  errno = 0;
  char* end = nullptr;
  unsigned long parsed = std::strtoul(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || parsed > most) {
    return false;
  }
  value = parsed;
  return true;
}

// "01 02 ff", "0102ff" or "01:02:ff": pairs of hex digits.
bool bytesIn(const std::string& text, std::vector<std::uint8_t>& out) {
  std::string digits;
  for (char c : text) {
    if (std::isxdigit(static_cast<unsigned char>(c))) {
      digits += c;
    } else if (c != ' ' && c != ':') {
      return false;
    }
  }
  if (digits.empty() || digits.size() % 2 != 0) {
    return false;
  }
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    out.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  }
  return true;
}

// 16 bytes a line: the map's offset, the bytes, and what is printable of them.
void dump(std::ostream& out, std::size_t offset, const std::vector<std::uint8_t>& bytes) {
  for (std::size_t line = 0; line < bytes.size(); line += 16) {
    char text[16];
    std::snprintf(text, sizeof text, "%5zu ", offset + line);
    out << text;
    std::string shownText;
    for (std::size_t i = line; i < line + 16; ++i) {
      if (i < bytes.size()) {
        std::snprintf(text, sizeof text, " %02x", bytes[i]);
        out << text;
        shownText += std::isprint(bytes[i]) ? static_cast<char>(bytes[i]) : '.';
      } else {
        out << "   ";
      }
    }
    out << "  " << shownText << "\n";
  }
}

int listModules(Run& run, Block& block) {
  std::vector<IoMap::Module> modules;
  long code = IoMap(block).find("*.*", modules);
  if (code != Brick::Lib::kBrickOk) {
    return failed(run, code, "module list");
  }
  for (const IoMap::Module& module : modules) {
    char line[64];
    std::snprintf(line, sizeof line, "%-16s 0x%08X %6u\n", printable(module.name.c_str()).c_str(),
                  module.id, module.ioMapSize);
    run.out << line;
  }
  return kExitOk;
}

}  // namespace

// The screen through the display module's IO map, as `brick screenshot` writes it.
long screenPng(Brick::Lib::Block& block, std::string& png) {
  Brick::Lib::Screen::Picture picture;
  long code = Brick::Lib::Screen(block).capture(picture);
  if (code != Brick::Lib::kBrickOk) {
    return code;
  }
  png = brick::Picture(picture.bands, picture.popup).png();
  return png.empty() ? Brick::Lib::kBrickBadValue : Brick::Lib::kBrickOk;
}

int doIoMap(Run& run) {
  const std::vector<std::string>& a = run.options.arguments;
  const Command* command = run.options.command;
  bool writing = run.options.write;
  std::size_t offset = 0;
  std::size_t length = 0;
  std::vector<std::uint8_t> data;
  if (writing && a.size() != 3) {
    return usageError(run.err, command, "--write takes MODULE OFFSET HEX");
  }
  if (!writing && a.size() == 2) {
    return usageError(run.err, command, "give OFFSET and LEN, or neither");
  }
  if (a.size() == 3 && !sizeIn(a[1], 0xFFFF, offset)) {
    return usageError(run.err, command, "OFFSET must be a number, 0 to 65535 (0x for hex)");
  }
  if (a.size() == 3 && !writing && !sizeIn(a[2], 0xFFFF, length)) {
    return usageError(run.err, command, "LEN must be a number, 0 to 65535 (0x for hex)");
  }
  if (writing && !bytesIn(a[2], data)) {
    return usageError(run.err, command,
                      "HEX must be pairs of hex digits, e.g. 0102ff or \"01 02 ff\"");
  }
  Block block;
  int status = connect(run, block);
  if (status != kExitOk) {
    return status;
  }
  if (a.empty()) {
    return listModules(run, block);
  }
  IoMap maps(block);
  IoMap::Module module;
  long code = maps.lookup(a[0], module);
  if (code != Brick::Lib::kBrickOk) {
    return failed(run, code, a[0]);
  }
  if (writing) {
    code = maps.write(module.id, offset, data);
    if (code != Brick::Lib::kBrickOk) {
      return failed(run, code, module.name);
    }
    run.out << "wrote " << data.size() << " bytes at " << offset << " of " << module.name << "\n";
    return kExitOk;
  }
  if (a.size() == 1) {
    length = module.ioMapSize;
  }
  std::vector<std::uint8_t> bytes;
  code = maps.read(module.id, offset, length, bytes);
  if (code != Brick::Lib::kBrickOk) {
    return failed(run, code, module.name);
  }
  dump(run.out, offset, bytes);
  return kExitOk;
}

int doScreenshot(Run& run) {
  std::string path = run.options.arguments.empty() ? "screenshot.png" : run.options.arguments[0];
  Block block;
  int status = connect(run, block);
  if (status != kExitOk) {
    return status;
  }
  Brick::Lib::Screen::Picture picture;
  long code = Brick::Lib::Screen(block).capture(picture);
  if (code != Brick::Lib::kBrickOk) {
    return failed(run, code, "screen");
  }
  bool toOutput = path == "-";
  std::FILE* file = toOutput ? stdout : std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    run.err << "brick: cannot write " << shown(path) << ": " << std::strerror(errno) << "\n";
    return kExitFailed;
  }
  std::string png = brick::Picture(picture.bands, picture.popup).png();
  bool written = !png.empty() && std::fwrite(png.data(), 1, png.size(), file) == png.size();
  written = (toOutput ? std::fflush(file) : std::fclose(file)) == 0 && written;
  if (!written) {
    run.err << "brick: cannot write " << shown(path) << "\n";
    return kExitFailed;
  }
  if (!toOutput) {
    run.out << "screen: " << shown(path) << (picture.popup ? " (the popup screen)" : "") << "\n";
  }
  return kExitOk;
}

int doButton(Run& run) {
  Brick::Lib::Buttons::Button button;
  if (!Brick::Lib::Buttons::parse(run.options.arguments[0], button)) {
    return usageError(run.err, run.options.command, "BUTTON is ENTER, LEFT, RIGHT or EXIT");
  }
  Block block;
  int status = connect(run, block);
  if (status != kExitOk) {
    return status;
  }
  long code = Brick::Lib::Buttons(block).press(button);
  if (code != Brick::Lib::kBrickOk) {
    return failed(run, code, "button");
  }
  run.out << "pressed " << Brick::Lib::Buttons::name(button) << "\n";
  return kExitOk;
}

}  // namespace BrickTool
