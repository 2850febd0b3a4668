#pragma once
// x3::NormalObject<T>: the concrete class of an ordinary x3 class T, made anew on each request. It
// holds the reference count and answers the IObject operations from T's class id, class name and
// interface list (T::kClassId, T::kClassName, T::HasInterface). Release only counts down: the
// object is not destroyed by the count, only by its deleting destructor.
#include <atomic>
#include <cstdint>

#include "PluginsManager/x3Object.h"

namespace x3 {

template <class T>
class NormalObject final : public T {
 public:
  // The creator of the class table: a new object queried for `iid`; null when it does not answer it.
  static IObject* Create(uint32_t iid) {
    auto* object = new NormalObject<T>();
    IObject* queried = nullptr;
    object->QueryObject(iid, &queried);
    object->Release();
    // Nobody else can reach an object whose query failed, so it goes now rather than leak.
    if (queried == nullptr) delete object;
    return queried;
  }

  long Retain() override { return m_refCount.fetch_add(1) + 1; }
  long Release() override { return m_refCount.fetch_sub(1) - 1; }

  bool QueryObject(uint32_t iid, IObject** out) override {
    if (out == nullptr || !T::HasInterface(iid)) return false;
    *out = this;
    Retain();
    return true;
  }

  const char* GetClassID() const override { return T::kClassId; }
  const char* GetClassName() const override { return T::kClassName; }

 private:
  std::atomic<int32_t> m_refCount{1};
};

}  // namespace x3
