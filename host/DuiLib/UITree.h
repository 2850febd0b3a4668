#pragma once
// Walks over a control tree, depth first, parents before children (internal to the library).
#include <functional>

#include "DuiLib/UIContainer.h"

namespace DuiLib {

// The first control of the subtree (the root included) for which `match` is true.
inline CControlUI* FindInTree(CControlUI* root, const std::function<bool(CControlUI*)>& match) {
  if (!root) return nullptr;
  if (match(root)) return root;
  if (auto* container = dynamic_cast<CContainerUI*>(root)) {
    for (int i = 0; i < container->GetCount(); ++i) {
      if (CControlUI* found = FindInTree(container->GetItemAt(i), match)) return found;
    }
  }
  return nullptr;
}

inline bool IsInTree(const CControlUI* root, const CControlUI* control) {
  for (const CControlUI* c = control; c; c = c->GetParent()) {
    if (c == root) return true;
  }
  return false;
}

}  // namespace DuiLib
