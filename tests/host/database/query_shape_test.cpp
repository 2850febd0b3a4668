#include "utility/QueryShape.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_env.h"
#include "utility/DataManager.h"

namespace {

TEST(QueryShape, LiftsOnlyIntegersThatAreCompared) {
  struct Case {
    const char* sql;
    const char* shape;  // nullptr: the query is asked as written
    std::vector<int64_t> values;
  };
  const Case cases[] = {
      {"select * from T where A=(select Max(A) from T where A<1796688000 and A>=1796601600)",
       "select * from T where A=(select Max(A) from T where A<?1 and A>=?2)", {1796688000, 1796601600}},
      {"select * from T where A = 5 or B <> 7 or C != 8 or D == 9", "select * from T where A = ?1 or B <> ?2 or C != ?3 or D == ?4",
       {5, 7, 8, 9}},
      // A column's number, a limit, a negative, a real, a hex, text and names with digits stay.
      {"select * from T order by 1 limit 10", nullptr, {}},
      {"select * from T where A < -5 or B > 1.5 or C = 0x10", nullptr, {}},
      {"select * from T where A = '5' and \"C=1\" = [x>2] -- B = 3", nullptr, {}},
      {"select * from T where A = 99999999999999999999", nullptr, {}},
      {"select * from T2 where A1 = 3", "select * from T2 where A1 = ?1", {3}},
      // Parameters already there, and quotes or comments that never end, are not read further.
      {"select * from T where A = ? and B = 5", nullptr, {}},
      {"select * from T where A = 5 and B = 'open", nullptr, {}},
      {"select * from T where A = 5 /* open", nullptr, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    const auto shape = ShapeOf(c.sql);
    if (!c.shape) {
      EXPECT_FALSE(shape.has_value()) << shape->sql;
      continue;
    }
    ASSERT_TRUE(shape.has_value());
    EXPECT_EQ(shape->sql, c.shape);
    EXPECT_EQ(shape->values, c.values);
  }
}

TEST(QueryShape, OneShapeAskedOfManyValuesAnswersEachAsWritten) {
  testenv::ScopedDataDir dir;
  auto& data = DataManager::Instance();
  for (int64_t second = 100; second < 110; ++second) {
    DataManager::Row row;
    for (int i = 0; i < 14; ++i) row.emplace_back(int64_t{i});
    row.emplace_back(std::string("d"));
    row.emplace_back(std::string("t"));
    row.emplace_back(second);
    ASSERT_TRUE(data.Put("TABLE_HARDWARE_DIAGNOSE", row));
  }
  // More shapes than are kept, asked in turns, each with values that change.
  for (int round = 0; round < 3; ++round) {
    for (int64_t low = 100; low < 112; ++low) {
      // The number in the select list is no comparison: each of its ten values is a shape of its own.
      const std::string sql = "select SecondTime, " + std::to_string(low % 10) +
                              " from TABLE_HARDWARE_DIAGNOSE where SecondTime>=" +
                              std::to_string(low) + " and SecondTime<" + std::to_string(low + 2 + round) +
                              " order by 1";
      SCOPED_TRACE(sql);
      std::vector<DataManager::Row> rows;
      ASSERT_TRUE(data.Get(sql, DataManager::RETURN_ORDER_COLUMNS, rows));
      std::vector<int64_t> seconds;
      for (const auto& row : rows) seconds.push_back(linb::any_cast<int64_t>(row.at(0)));
      std::vector<int64_t> expected;
      for (int64_t s = low; s < std::min<int64_t>(low + 2 + round, 110); ++s) expected.push_back(s);
      EXPECT_EQ(seconds, expected);
    }
  }
  std::vector<DataManager::Row> rows;
  EXPECT_FALSE(data.Get("select * from NO_SUCH_TABLE where A = 1", DataManager::RETURN_ORDER_COLUMNS, rows));
}

}  // namespace
