#pragma once
// What the history page shows, read off the window: its subtitle, the day bars (a day's label
// under each bar that has a run), and for the day whose bar is selected its date, the numbers of
// normal and abnormal categories and each category line with its mark.
#include <string>
#include <vector>

#include "app/services/page_driver.h"

namespace app {

struct HistoryDayView {
  std::string label;                 // "Today", "Yesterday", "3 days ago"
  DuiLib::CControlUI* bar = nullptr;  // its option, to select the day
  bool selected = false;
};

struct HistoryCategoryView {
  std::string name;
  std::string model;
  std::string state;  // "normal", "abnormal" or "not diagnosed", by the line's mark
};

struct HistoryPageView {
  std::string subtitle;
  std::vector<HistoryDayView> days;  // oldest first, as the row shows them
  std::string shownDate;
  std::string normal;    // the numbers beside the summary bar, as shown
  std::string abnormal;
  std::vector<HistoryCategoryView> categories;
};

HistoryPageView ReadHistoryPage(const PageDriver& page);

}  // namespace app
