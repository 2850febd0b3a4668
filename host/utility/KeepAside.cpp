#include "utility/KeepAside.h"

#include <cstdio>
#include <filesystem>

#include "platform/clock.h"
#include "platform/data_files.h"

namespace hostfiles {

std::string AsideName(const std::string& path, std::string_view why) {
  const platform::LocalTime t = platform::GetLocalTime();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  const std::string base = path + "." + std::string(why) + "-" + stamp;
  std::string candidate = base;
  std::error_code ec;
  for (int n = 1; std::filesystem::exists(candidate, ec); ++n) candidate = base + "." + std::to_string(n);
  return candidate;
}

std::string MoveAside(const std::string& path, std::string_view why, std::error_code& error) {
  const std::string aside = AsideName(path, why);
  std::filesystem::rename(path, aside, error);
  if (error) return {};
  platform::MakePrivate(aside);
  return aside;
}

}  // namespace hostfiles
