#pragma once
// Per-control notification subscriptions. Every control has an event source `OnNotify`; an object
// that owns controls without being a page subscribes a member function to it:
//
//   control->OnNotify += MakeDelegate(this, &CtlScanItem::OnFolderNotify);
//   bool CtlScanItem::OnFolderNotify(TNotifyUI& msg);   // return true to let the others see it
//
// CPaintManagerUI::SendNotify calls the sender's subscribers first, in the order they subscribed,
// then the window's notifiers. `-=` with the same object and member removes the subscription. The
// subscriber must outlive the subscription (unsubscribe, or let the control go first). UI thread only.
#include <cstring>
#include <functional>
#include <vector>

#include "DuiLib/UIDefine.h"

namespace DuiLib {

class CDelegate {
 public:
  using Handler = std::function<bool(TNotifyUI&)>;

  CDelegate(const void* object, const void* memberKey, size_t keySize, Handler handler)
      : object_(object), handler_(std::move(handler)) {
    std::memcpy(key_, memberKey, keySize < sizeof(key_) ? keySize : sizeof(key_));
  }

  bool operator()(TNotifyUI& msg) const { return handler_(msg); }
  bool SameAs(const CDelegate& other) const {
    return object_ == other.object_ && std::memcmp(key_, other.key_, sizeof(key_)) == 0;
  }

 private:
  const void* object_;
  unsigned char key_[2 * sizeof(void*)] = {};  // the member function pointer's bytes
  Handler handler_;
};

template <class T>
CDelegate MakeDelegate(T* object, bool (T::*member)(TNotifyUI&)) {
  return CDelegate(object, &member, sizeof(member), [object, member](TNotifyUI& msg) { return (object->*member)(msg); });
}

class CEventSource {
 public:
  CEventSource& operator+=(CDelegate delegate) {
    delegates_.push_back(std::move(delegate));
    return *this;
  }
  CEventSource& operator-=(const CDelegate& delegate) {
    std::erase_if(delegates_, [&](const CDelegate& d) { return d.SameAs(delegate); });
    return *this;
  }
  // Calls every subscriber; false when one of them returned false.
  bool operator()(TNotifyUI& msg) const {
    const std::vector<CDelegate> current = delegates_;  // a subscriber may unsubscribe
    bool all = true;
    for (const CDelegate& d : current) all = d(msg) && all;
    return all;
  }
  bool empty() const { return delegates_.empty(); }

 private:
  std::vector<CDelegate> delegates_;
};

}  // namespace DuiLib
