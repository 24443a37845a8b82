// The 16-byte globally unique identifier record that Log's constructor takes. Windows declares
// it; elsewhere it is declared here with the same layout.
#ifndef BRICK_GUID_H
#define BRICK_GUID_H

#if defined(_WIN32)
#include <guiddef.h>
#else
#include <cstdint>

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16, "GUID is a 16-byte record");
#endif

#endif
