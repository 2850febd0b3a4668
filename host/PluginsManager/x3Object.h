#pragma once
// The x3 framework's object interface, the root of every interface a plug-in object answers, and
// the signature of a module's create function. Interfaces are known by a 32-bit id made from their
// name (x3::InterfaceId).
#include <cstdint>
#include <string_view>

namespace x3 {

class IObject {
 public:
  virtual ~IObject() = default;
  virtual long Retain() = 0;
  virtual long Release() = 0;
  // True when the object answers the interface: `out` then holds it, retained once more.
  virtual bool QueryObject(uint32_t iid, IObject** out) = 0;
  virtual const char* GetClassID() const = 0;
  virtual const char* GetClassName() const = 0;
};

// Makes an object of the class `clsid` answering the interface `iid` (see x3InternalCreate).
using CreateFunc = bool (*)(const char* clsid, uint32_t iid, IObject** out);

// The framework's id of an interface name: for each byte (a signed char), id = id * 33 + byte,
// modulo 2^32.
constexpr uint32_t InterfaceId(std::string_view name) {
  uint32_t id = 0;
  for (char c : name) id = id * 33u + static_cast<uint32_t>(static_cast<signed char>(c));
  return id;
}

}  // namespace x3
