#pragma once
// Root keys and access rights of the host's registry, with the values they have on Windows.
#include <cstdint>

enum HKEY : uint32_t {
  HKEY_CURRENT_USER = 0x80000001u,
};

using REGSAM = uint32_t;
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
