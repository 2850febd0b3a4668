#pragma once
// The host's registry: 32-bit values under HKEY_CURRENT_USER, kept in registry.json in the data
// directory as {"HKEY_CURRENT_USER": {"<key path as given>": {"<value name>": <number>}}}.
// Key paths and value names are compared exactly as given. Every call reads the file afresh
// and every change is written whole to a temporary file and renamed over it, under a file lock,
// so threads and processes may share it.
#include <cstdint>
#include <string>

#include "utility/RegistryKeys.h"

namespace DE {

class Registry {
 public:
  // The root that KeyExists and CreateKey work on; false (and nothing changes) for a root this
  // registry does not keep.
  bool SetRootKey(HKEY root);

  // True when the key was created, or when a key below it was.
  bool KeyExists(const std::string& key) const;
  // Creates the key (an existing key is kept as it is); false when it cannot be stored.
  bool CreateKey(const std::string& key);

  // Reads a 32-bit value; false when the key or value is missing, the value is not a 32-bit
  // number or `access` does not allow reading.
  static bool GetValue(HKEY root, const std::string& key, const std::string& name, uint32_t& value,
                       REGSAM access = KEY_READ);
  // Writes a 32-bit value, creating the key when it is missing; false when `access` does not allow
  // writing or the file cannot be written.
  static bool SetValue(HKEY root, const std::string& key, const std::string& name, uint32_t value,
                       REGSAM access = KEY_ALL_ACCESS);

 private:
  HKEY root_ = HKEY_CURRENT_USER;
};

}  // namespace DE
