#pragma once
// The ids of the three interfaces this module deals in, each made from its name once, on first use.
#include <cstdint>

namespace zel::sysdiagnose {

uint32_t IidIObject();
uint32_t IidIPKTPlugin();
uint32_t IidIPKTUIPlugin();

}  // namespace zel::sysdiagnose
