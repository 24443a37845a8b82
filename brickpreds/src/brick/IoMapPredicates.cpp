// The foreign predicates of library(brick) for the brick's firmware modules: their IO maps read
// and written, the screen as pixels, a button pressed. iomap.pl gives them their Prolog shape.
#include <cstdint>
#include <string>
#include <vector>

#include "Arguments.h"
#include "BrickErrors.h"
#include "Exchange.h"
#include "Frame.h"
#include "brick/Buttons.h"
#include "brick/IoMap.h"
#include "brick/Screen.h"

namespace Brick {
namespace Prolog {

namespace {

// A module as an atom or string naming it ('Display.mod', display), or its id as an integer:
// its id, asking the brick for a name.
std::uint32_t moduleArgument(const PlTerm& arg, BrickHandle& handle, const char* operation) {
  if (PL_is_integer(arg.C_)) {
    return static_cast<std::uint32_t>(rangeArgument(arg, 0, 0xFFFFFFFFL, "module_id"));
  }
  std::string name = textArgument(arg, 19, false, "module_name");
  if (name.empty()) {
    throwDomainError("module_name", arg);
  }
  Lib::IoMap::Module module;
  Exchange exchange(handle, operation);
  exchange.checkCode(Lib::IoMap(handle.block()).lookup(name, module));
  return module.id;
}

// iomap_modules(+Brick, -Modules): module(Name, Id, IoMapSize) for each, in the firmware's order.
foreign_t iomapModules(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  std::vector<Lib::IoMap::Module> modules;
  {
    Exchange exchange(handle, "iomap_modules");
    exchange.checkCode(Lib::IoMap(handle.block()).find("*.*", modules));
  }
  term_t list = PL_new_term_ref();
  if (list == 0 || !PL_put_nil(list)) {
    throwPending();
  }
  for (std::size_t i = modules.size(); i-- > 0;) {
    term_t entry = PL_new_term_ref();
    if (entry == 0 ||
        !PL_unify_term(entry, PL_FUNCTOR_CHARS, "module", 3, PL_CHARS, modules[i].name.c_str(),
                       PL_INT64, static_cast<std::int64_t>(modules[i].id), PL_INT,
                       static_cast<int>(modules[i].ioMapSize)) ||
        !PL_cons_list(list, entry, list)) {
      throwPending();
    }
  }
  return unified(PL_unify(a[1].C_, list));
}

// iomap_read(+Brick, +Module, +Offset, +Count, -Bytes)
foreign_t iomapRead(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  std::size_t offset = static_cast<std::size_t>(rangeArgument(a[2], 0, 0xFFFF, "iomap_offset"));
  std::size_t count = static_cast<std::size_t>(rangeArgument(a[3], 0, 0xFFFF, "iomap_count"));
  std::uint32_t id = moduleArgument(a[1], handle, "iomap_read");
  std::vector<std::uint8_t> bytes;
  {
    Exchange exchange(handle, "iomap_read");
    exchange.checkCode(Lib::IoMap(handle.block()).read(id, offset, count, bytes));
  }
  return unifyByteList(a[4], bytes);
}

// iomap_write(+Brick, +Module, +Offset, +Bytes)
foreign_t iomapWrite(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  std::size_t offset = static_cast<std::size_t>(rangeArgument(a[2], 0, 0xFFFF, "iomap_offset"));
  std::vector<std::uint8_t> bytes = bytesArgument(a[3], 0xFFFF, "iomap_data");
  std::uint32_t id = moduleArgument(a[1], handle, "iomap_write");
  Exchange exchange(handle, "iomap_write");
  exchange.checkCode(Lib::IoMap(handle.block()).write(id, offset, bytes));
  return TRUE;
}

// '$screenshot'(+Brick, -Rows, -Popup): 64 rows of 100 pixels, 1 dark and 0 light.
foreign_t screenshot(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  Lib::Screen::Picture picture;
  {
    Exchange exchange(handle, "screenshot");
    exchange.checkCode(Lib::Screen(handle.block()).capture(picture));
  }
  term_t rows = PL_new_term_ref();
  if (rows == 0 || !PL_put_nil(rows)) {
    throwPending();
  }
  for (int y = Lib::Screen::kHeight; y-- > 0;) {
    term_t row = PL_new_term_ref();
    if (row == 0 || !PL_put_nil(row)) {
      throwPending();
    }
    for (int x = Lib::Screen::kWidth; x-- > 0;) {
      term_t pixel = PL_new_term_ref();
      if (pixel == 0 || !PL_put_integer(pixel, picture.pixel(x, y) ? 1 : 0) ||
          !PL_cons_list(row, pixel, row)) {
        throwPending();
      }
    }
    if (!PL_cons_list(rows, row, rows)) {
      throwPending();
    }
  }
  if (!PL_unify(a[1].C_, rows)) {
    return unified(FALSE);
  }
  return unified(PL_unify_bool(a[2].C_, picture.popup ? TRUE : FALSE));
}

// button_press(+Brick, +Button): enter, left, right or exit.
foreign_t buttonPress(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  if (PL_is_variable(a[1].C_)) {
    throwInstantiation();
  }
  char* chars = nullptr;
  if (!PL_get_atom_chars(a[1].C_, &chars)) {
    throwTypeError("atom", a[1]);
  }
  Lib::Buttons::Button button;
  if (!Lib::Buttons::parse(chars, button) || std::string(chars) != Lib::Buttons::name(button)) {
    throwDomainError("brick_button", a[1]);
  }
  Exchange exchange(handle, "button_press");
  exchange.checkCode(Lib::Buttons(handle.block()).press(button));
  return TRUE;
}

constexpr ForeignPredicate kPredicates[] = {
    {"iomap_modules", 2, predicate<2, iomapModules>}, {"iomap_read", 5, predicate<5, iomapRead>},
    {"iomap_write", 4, predicate<4, iomapWrite>},     {"$screenshot", 3, predicate<3, screenshot>},
    {"button_press", 2, predicate<2, buttonPress>},
};

__attribute__((constructor)) void registerIoMaps() {
  registerPredicates(kPredicates);
}

}  // namespace

}  // namespace Prolog
}  // namespace Brick
