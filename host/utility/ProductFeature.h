#pragma once
#include <cstdint>

namespace ProductAdapt {

class ProductFeature {
 public:
  static ProductFeature& GetInstance();
  // Sets `present` to whether the machine has a fingerprint sensor; returns 0 on success.
  int32_t GetFingerprintStatus(bool& present);
};

}  // namespace ProductAdapt
