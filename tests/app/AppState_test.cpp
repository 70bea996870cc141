// The slider tables and the meter reading's level.
#include "app/AppState.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(AppStateTest, SliderTables) {
  struct Row {
    int position;
    int32_t samples;
    int32_t range;
  };
  const Row rows[] = {{0, 1000, 10000}, {1, 16, 100},     {2, 32, 200},      {3, 64, 500},
                      {4, 128, 1000},   {5, 256, 2000},   {6, 512, 5000},    {7, 1024, 10000},
                      {8, 2048, 20000}, {9, 4096, 50000}, {10, 1000, 10000}, {-3, 1000, 10000}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.position);
    EXPECT_EQ(TimeBaseSamples(row.position), row.samples);
    EXPECT_EQ(SensitivityRange(row.position), row.range);
  }
}

TEST(AppStateTest, LevelIsTruncatedNotRounded) {
  const double max = 32767.0;
  struct Row {
    double value;
    double maximum;
    int32_t level;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const Row rows[] = {{max, max, 100},
                      {0.999 * max, max, 99},
                      {0.0, max, 0},
                      {0.5 * max, max, 50},
                      {0.00999 * max, max, 0},
                      {2 * max, max, 200},
                      {-0.999 * max, max, -99},
                      {1.0, 0.0, 0},
                      {1.0, -5.0, 0},
                      {nan, max, 0},
                      {1.0, nan, 0},
                      {inf, max, 0},
                      {1e300, 1e-300, std::numeric_limits<int32_t>::max()}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.value);
    EXPECT_EQ(LevelFromReading(row.value, row.maximum), row.level);
  }
}

TEST(AppStateTest, PathsFromTheExecutable) {
  InitPaths("/opt/kestrune/bin/kestrune");
  EXPECT_EQ(AppDir, "/opt/kestrune/bin/");
  EXPECT_EQ(IniPath, "/opt/kestrune/bin/kestrune.ini");
  EXPECT_EQ(LogPath, "/opt/kestrune/bin/kestrune.log");
}

}  // namespace
