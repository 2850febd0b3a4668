#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A query whose compared integers are parameters: callers that ask the same question about other
// days write the same shape, which can be prepared once and bound again.
struct QueryShape {
  std::string sql;              // the query with "?N" in place of each lifted integer
  std::vector<int64_t> values;  // value of ?1, ?2, ...
};

// The integers compared with =, <, >, <=, >=, != or <> lifted out of `sql`; only there is a literal
// always a value (elsewhere "ORDER BY 1" names a column). Nullopt when nothing is lifted or the query
// has parameters or text this reader does not follow (an unterminated quote or comment).
std::optional<QueryShape> ShapeOf(std::string_view sql);
