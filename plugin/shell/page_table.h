#pragma once
// The pages of the plug-in: each one's virtual-window name and layout file.
#include <array>
#include <string_view>

namespace zel::sysdiagnose {

struct PageInfo {
  std::u16string_view name;
  std::u16string_view layout;
};

inline constexpr PageInfo kPageIndexInfo{u"SysdiagnosePageIndex", u"layout\\sysdiagnose_index.xml"};
inline constexpr PageInfo kPageArchievementInfo{u"SysdiagnosePageArchievement", u"layout\\sysdiagnose_archievement.xml"};
inline constexpr PageInfo kPageScanInfo{u"SysdiagnosePageScan", u"layout\\sysdiagnose_scan.xml"};
inline constexpr PageInfo kPageDetectInfo{u"SysdiagnosePageDetect", u"layout\\sysdiagnose_detect.xml"};

inline constexpr std::array<PageInfo, 4> kPageInfos{kPageIndexInfo, kPageArchievementInfo, kPageScanInfo,
                                                    kPageDetectInfo};

}  // namespace zel::sysdiagnose
