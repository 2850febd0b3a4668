#include "shell/interface_ids.h"

#include <mutex>

#include "PluginsManager/IPKTPlugin.h"

namespace zel::sysdiagnose {
namespace {

struct InterfaceIds {
  uint32_t object = 0;
  uint32_t plugin = 0;
  uint32_t uiPlugin = 0;
};

const InterfaceIds& Ids() {
  static std::once_flag once;
  static InterfaceIds ids;
  std::call_once(once, [] {
    ids = {x3::InterfaceId(kIObjectName), x3::InterfaceId(kIPKTPluginName), x3::InterfaceId(kIPKTUIPluginName)};
  });
  return ids;
}

}  // namespace

uint32_t IidIObject() { return Ids().object; }
uint32_t IidIPKTPlugin() { return Ids().plugin; }
uint32_t IidIPKTUIPlugin() { return Ids().uiPlugin; }

}  // namespace zel::sysdiagnose
