#include "model/xml_helper.h"

#include <rapidxml/rapidxml.hpp>
#include <rapidxml/rapidxml_utils.hpp>

#include <exception>
#include <string>
#include <utility>

#include "DeviceFalutDetect/DeviceFalutDetect.h"
#include "model/system_environment.h"
#include "platform/encoding.h"
#include "platform/numparse.h"
#include "platform/paths.h"
#include "platform/xml_depth.h"
#include "utility/DE.h"
#include "utility/Logger.h"

namespace zel::sysdiagnose {

namespace {

constexpr const char* kQualifiedName = "zel::sysdiagnose::XmlHelper::GetDetectItems";
constexpr const char* kSourceTag = "zel_model_xml";
// The line the host's log has always named for the Bluetooth warning.
constexpr int kBluetoothWarningLine = 67;

using XmlNode = rapidxml::xml_node<char>;

bool MachineHasBluetooth() {
  HardwareDetect::CBluetoothDetect detector;
  return detector.IsSurportBt();
}

// False when the machine lacks the category's device; the item is then left out.
bool IsOffered(int32_t id, const char* signature) {
  if (id == HARDWARE_BLUETOOTH && !MachineHasBluetooth()) {
    hostlog::Warn("is not support BT, ignore bt item", kQualifiedName, kSourceTag,
                  kBluetoothWarningLine, signature);
    return false;
  }
  if (id == HARDWARE_FINGERPRINT && !SystemEnvironment::IsSupportFingerPrint()) return false;
  return true;
}

void ReadItems(const XmlNode& first, std::vector<tagDetectItem>& items, const char* signature) {
  // Every following sibling counts, whatever its name: the host has always read them so.
  for (const XmlNode* node = &first; node != nullptr; node = node->next_sibling()) {
    if (node->type() != rapidxml::node_element) continue;
    const auto* id = node->first_attribute("id");
    const auto* name = node->first_attribute("name");
    const auto* description = node->first_attribute("description");
    if (id == nullptr || name == nullptr || description == nullptr) continue;

    const int32_t value = platform::Atoi(id->value());
    if (!IsOffered(value, signature)) continue;
    items.push_back({value, platform::Utf8ToUtf16(name->value()),
                     platform::Utf8ToUtf16(description->value())});
  }
}

}  // namespace

XmlHelper::XmlHelper(std::string relativePath) : relativePath_(std::move(relativePath)) {}

void XmlHelper::GetDetectItems(std::vector<tagDetectItem>& items) {
  items.clear();
  const std::string directory = platform::AppDirectory();
  if (directory.empty()) return;
  const std::string path = directory + "\\" + relativePath_;
  if (!DE::FileExists(path)) return;

  // A file that cannot be read or parsed is an empty catalogue: the plug-in then offers no
  // category, which is better than taking the host down. The reason goes to the log.
  const std::string file = platform::NativePath(path);
  try {
    rapidxml::file<char> buffer(file.c_str());
    if (platform::XmlNestingDepth(buffer.data()) > platform::kMaxXmlDepth) {
      hostlog::Error("catalogue " + file + " nests elements deeper than " + std::to_string(platform::kMaxXmlDepth) +
                         " levels",
                     kQualifiedName, kSourceTag, __LINE__, __PRETTY_FUNCTION__);
      return;
    }
    rapidxml::xml_document<char> document;
    try {
      document.parse<0>(buffer.data());
    } catch (const rapidxml::parse_error& error) {
      const auto offset = error.where<char>() - buffer.data();
      hostlog::Error("catalogue " + file + " is not well-formed XML: " + error.what() + " at byte " +
                         std::to_string(offset),
                     kQualifiedName, kSourceTag, __LINE__, __PRETTY_FUNCTION__);
      return;
    }

    const XmlNode* root = document.first_node("sysdiagnose");
    if (root == nullptr) return;
    const XmlNode* first = root->first_node("DetectItem");
    if (first == nullptr) return;
    ReadItems(*first, items, __PRETTY_FUNCTION__);
  } catch (const std::exception& error) {
    items.clear();
    hostlog::Error("catalogue " + file + " cannot be read: " + error.what(), kQualifiedName,
                   kSourceTag, __LINE__, __PRETTY_FUNCTION__);
  }
}

}  // namespace zel::sysdiagnose
