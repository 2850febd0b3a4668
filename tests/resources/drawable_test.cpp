// The window's images ship beside the executable, as PNGs of the size the pages draw them at.
// The plug-in names them inside image descriptions ("file='drawable/hardware/...' source=..."),
// so a missing or misnamed file shows only as an empty spot on screen: these tests catch it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "ipc/doctor_module_info.h"
#include "model/hardware_catalog.h"
#include "platform/encoding.h"
#include "platform/paths.h"
#include "support/test_env.h"

namespace zel::sysdiagnose {
namespace {

namespace fs = std::filesystem;

// Every image the window names, relative to drawable/hardware/, with its side in pixels.
const std::map<std::string, int> kImages = {
    // status looks of the scan and detect items
    {"ic_check_off.png", 20}, {"ic_check_on.png", 20}, {"ico_right.png", 18},
    {"ic_unusual.png", 20}, {"ic_restart.png", 20}, {"ic_turnoff.png", 20},
    {"Loading/loading_.png", 20},
    // fold arrows of scan items and detect lines
    {"ic_expansion_light.png", 16}, {"ic_collapse_light.png", 16}, {"btn_down.png", 16}, {"btn_up.png", 16},
    // categories: 30 pixels as drawn, 42 pixels as the source the pages scale down
    {"ic_sound30.png", 30}, {"ic_sound42.png", 42}, {"ic_motherboard30.png", 30}, {"ic_motherboard42.png", 42},
    {"ic_bt30.png", 30}, {"ic_bt42.png", 42}, {"ic_network30.png", 30}, {"ic_network42.png", 42},
    {"ic_cpu30.png", 30}, {"ic_cpu42.png", 42}, {"ic_ram30.png", 30}, {"ic_ram42.png", 42},
    {"ic_harddisk30.png", 30}, {"ic_harddisk42.png", 42}, {"ic_video30.png", 30}, {"ic_video42.png", 42},
    {"ic_monitor30.png", 30}, {"ic_monitor42.png", 42}, {"ic_battery30.png", 30}, {"ic_battery42.png", 42},
    {"ic_keyboard30.png", 30}, {"ic_keyboard42.png", 42}, {"ic_fp30.png", 30}, {"ic_fp42.png", 42},
    // log kinds of the upload window, and the plug-in's entry in the health check
    {"icon_corvane.png", 32}, {"icon_default.png", 32},
    {"index_hardware.png", 32}, {"doctor_module.png", 32},
};
constexpr int kLoadingFrames = 30;

uint32_t BigEndian32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

// A whole PNG, `side` pixels square with an alpha channel: the signature, IHDR first, then the
// chunks walked end to end, image data among them and IEND last. Gives back the file's bytes.
std::string ExpectSquarePng(const std::string& relative, uint32_t side) {
  SCOPED_TRACE(relative);
  const std::string bytes = testenv::ReadFile(fs::path(platform::AppDirectory()) / "drawable" / "hardware" / relative);
  EXPECT_EQ(bytes.substr(0, 16), std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16)) << "a PNG signature, then IHDR";
  std::vector<std::string> chunks;
  size_t at = 8;
  for (; at + 12 <= bytes.size() && BigEndian32(bytes, at) <= bytes.size() - at - 12; at += 12 + BigEndian32(bytes, at)) {
    chunks.push_back(bytes.substr(at + 4, 4));
  }
  EXPECT_EQ(at, bytes.size()) << "chunks from end to end";
  EXPECT_TRUE(std::find(chunks.begin(), chunks.end(), "IDAT") != chunks.end()) << "no image data";
  EXPECT_TRUE(!chunks.empty() && chunks.back() == "IEND") << "truncated: no IEND last";
  if (bytes.size() < 26) return bytes;
  EXPECT_EQ(BigEndian32(bytes, 16), side);
  EXPECT_EQ(BigEndian32(bytes, 20), side);
  EXPECT_TRUE(bytes[25] == 4 || bytes[25] == 6) << "an alpha channel, for the transparent background";
  return bytes;
}

TEST(DrawableTest, EveryNamedImageIsAWholePngOfItsSize) {
  for (const auto& [relative, side] : kImages) ExpectSquarePng(relative, side);
}

TEST(DrawableTest, BusyAnimationHasThirtyDifferentFramesTheFirstAsItsImage) {
  std::map<std::string, int> frameOfPicture;
  for (int n = 1; n <= kLoadingFrames; ++n) {
    const auto [seen, isNew] = frameOfPicture.emplace(ExpectSquarePng("Loading/loading_" + std::to_string(n) + ".png", 20), n);
    EXPECT_TRUE(isNew) << "frame " << n << " repeats frame " << seen->second;
  }
  EXPECT_EQ(frameOfPicture[ExpectSquarePng("Loading/loading_.png", 20)], 1);
}

// The images the plug-in itself names: each is one of the drawn set, and a source rectangle
// covers exactly the drawn image.
TEST(DrawableTest, ImagesThePlugInDescribesAreDrawnAtTheSizeItCuts) {
  std::vector<std::u16string> descriptions;
  for (const auto& [id, info] : GetHardwareCatalog().UIInfosCopy()) {
    descriptions.insert(descriptions.end(), {info.iconSmall, info.iconMiddle, info.icon30, info.iconLarge});
  }
  const tagDoctorModuleInfo module = SysdiagnoseModuleInfo();
  descriptions.insert(descriptions.end(), {module.strIcon, module.strModuleIcon});
  ASSERT_EQ(descriptions.size(), 12u * 4 + 2);

  const std::regex file("file='drawable/hardware/([^']+)'");
  const std::regex source("source='0,0,(\\d+),(\\d+)'");
  for (const auto& description : descriptions) {
    const std::string text = platform::Utf16ToUtf8(description);
    SCOPED_TRACE(text);
    std::smatch name, cut;
    ASSERT_TRUE(std::regex_search(text, name, file));
    const auto drawn = kImages.find(name[1]);
    ASSERT_NE(drawn, kImages.end()) << "an image nobody drew";
    if (std::regex_search(text, cut, source)) {
      EXPECT_EQ(std::stoi(cut[1]), drawn->second);
      EXPECT_EQ(std::stoi(cut[2]), drawn->second);
    }
  }
}

// The build copies the resources beside the binaries while programs may be running from there:
// a file that did not change is left as it is, one that did is replaced whole (a new file renamed
// over it, never rewritten in place where a reader could find it half written).
TEST(ResourceCopy, ReplacesOnlyAChangedFileAndWhole) {
  const fs::path root = fs::path(testing::TempDir()) / ("resource-copy-" + std::to_string(getpid()));
  fs::remove_all(root);
  const fs::path source = root / "resources", destination = root / "bin";
  fs::create_directories(source / "drawable");
  std::ofstream(source / "drawable/ic.png") << "first picture";
  std::ofstream(source / "strings.json") << "{}";
  const auto copy = [&] {
    const std::string command = "cmake -DSOURCE='" + source.string() + "' -DDESTINATION='" + destination.string() +
                                "' -P '" + testenv::ResourcePath("../cmake/copy_resources.cmake") + "'";
    return std::system(command.c_str());
  };
  const auto inode = [](const fs::path& file) {
    struct stat info{};
    return ::stat(file.c_str(), &info) == 0 ? info.st_ino : 0;
  };

  ASSERT_EQ(copy(), 0);
  const auto picture = inode(destination / "drawable/ic.png"), strings = inode(destination / "strings.json");
  ASSERT_NE(picture, 0u);
  ASSERT_EQ(copy(), 0);
  EXPECT_EQ(inode(destination / "drawable/ic.png"), picture) << "unchanged: not written again";

  std::ofstream(source / "drawable/ic.png") << "second picture";
  ASSERT_EQ(copy(), 0);
  EXPECT_EQ(testenv::ReadFile(destination / "drawable/ic.png"), "second picture");
  EXPECT_NE(inode(destination / "drawable/ic.png"), picture) << "changed: a whole new file put in its place";
  EXPECT_EQ(inode(destination / "strings.json"), strings);
  EXPECT_FALSE(fs::exists(destination / "drawable/ic.png.copying"));
  fs::remove_all(root);
}

}  // namespace
}  // namespace zel::sysdiagnose
