// The framework's interface ids, made from the interface names.
#include <gtest/gtest.h>

#include "PluginsManager/IPKTPlugin.h"

namespace {

TEST(InterfaceId, EachByteOfTheNameTimes33PlusTheByte) {
  const struct {
    std::string_view name;
    uint32_t id;
  } cases[] = {
      {"", 0u},
      {"I", 73u},
      {"IO", 73u * 33 + 'O'},
      {kIObjectName, 2999720224u},
      {kIPKTPluginName, 3385652519u},
      {kIPKTUIPluginName, 839111909u},
      {"\xff", 0xFFFFFFFFu},  // a byte above 127 counts as a negative char
  };
  for (const auto& c : cases) EXPECT_EQ(x3::InterfaceId(c.name), c.id) << c.name;
}

}  // namespace
