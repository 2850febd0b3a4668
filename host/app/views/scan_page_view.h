#pragma once
// What the scan page shows, read off the window: its titles, and per category item its name,
// summary, tick box and the rows grown into it so far (an item's rows are its detail lines in
// "lytItems"; a line without "txtTitle" is a separator).
#include <string>
#include <vector>

#include "DuiLib/UIOption.h"
#include "app/services/page_driver.h"

namespace app {

struct ScanRowView {
  bool separator = false;
  std::string title;
  std::string content;
};

struct ScanItemView {
  std::string name;
  std::string summary;
  DuiLib::COptionUI* choose = nullptr;  // the tick box, once the item is one
  bool ticked = false;
  std::vector<ScanRowView> rows;
};

struct ScanPageView {
  std::string firstTitle;
  std::string secondTitle;
  bool ready = false;  // the scan ended and the detect button bar shows
  std::vector<ScanItemView> items;
};

ScanPageView ReadScanPage(const PageDriver& page);

}  // namespace app
