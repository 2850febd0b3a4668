#pragma once
// What the detect page shows, read off the window: its titles and buttons, and per category item
// its name, description, verdict colour and check lines. A line's look is its status icon's: busy
// while the check runs, a tick when it passed, the abnormal mark when it failed, or the restart
// and shutdown marks a repair leaves; a failed line holds its detail text.
#include <string>
#include <vector>

#include "app/services/page_driver.h"

namespace app {

enum class LineLook { Running, Passed, Failed, Notice, NeedsRestart, NeedsShutdown, Other };

struct DetectLineView {
  std::string title;
  LineLook look = LineLook::Other;
  std::string detail;      // the failure's text (the line's detail, shown when unfolded)
  std::string action;      // what the line offers or reports beside its title ("Repair")
  std::string suggestion;  // a mild finding's advice, when shown
};

// The large icon's background once a category has its verdict.
enum class Verdict { None, Normal, Notice, Abnormal };

struct DetectItemView {
  std::string name;
  std::string description;
  Verdict verdict = Verdict::None;
  std::vector<DetectLineView> lines;
};

struct DetectPageView {
  std::string firstTitle;
  std::string secondTitle;
  std::string secondTitleUnlinked;  // without its links, which only the window can follow
  bool busy = false;      // the cancel bar shows: detecting or repairing
  bool finished = false;  // the result bar shows
  std::string completeButton;
  std::string backButton;  // empty when hidden
  bool uploadOffered = false;  // the second title holds a link
  std::vector<DetectItemView> items;
};

DetectPageView ReadDetectPage(const PageDriver& page);
const char* LookText(LineLook look);
const char* VerdictText(Verdict verdict);

}  // namespace app
