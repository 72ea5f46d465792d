// For tests and benchmarks that build rows as whole images: places `image`
// (Layout().ImageSize() bytes) into the table's next slot through the one
// loading path, DSBASE::PlaceRowValues.
#pragma once

#include <cstdint>
#include <vector>

#include "store/record_engine.h"

namespace quillset {

inline Status PlaceImage(DSBASE& table, const std::vector<std::uint8_t>& image,
                         std::uint8_t status) {
  if (!table.Created() || image.size() != table.Layout().ImageSize()) return kStatusInvalidArgument;
  std::vector<FieldBytes> values(table.Layout().ColumnCount());
  DescribeImage(table.Layout(), image.data(), values.data());
  return table.PlaceRowValues(values.data(), values.size(), status);
}

}  // namespace quillset
