// Text formatting, rounding and the small helpers of the runtime.
#include "platform/rtl/SysUtils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/rtl/Lists.h"

namespace {

struct FormatCase {
  const char* name;
  std::string result;
  std::string expected;
};

TEST(Format, Table) {
  const FormatCase cases[] = {
      {"negative 32-bit prints unsigned with %u", Format("Index out of rabge = %u", {-1}),
       "Index out of rabge = 4294967295"},
      {"positive %u", Format("%u", {7}), "7"},
      {"%d", Format("Indice de liste hors limites (%d)", {-3}), "Indice de liste hors limites (-3)"},
      {"width and left alignment", Format("[%5d|%-4s]", {42, "ab"}), "[   42|ab  ]"},
      {"zero padding through precision", Format("%.4d", {7}), "0007"},
      {"hex", Format("%x %.4X", {255, 10}), "FF 000A"},
      {"fixed", Format("%.3f", {3.14159}), "3.142"},
      {"fixed default precision", Format("%f", {2.0}), "2.00"},
      {"number with thousands", Format("%.1n", {1234567.26}), "1,234,567.3"},
      {"general", Format("%g", {0.5}), "0.5"},
      {"exponent", Format("%.3e", {1234.5}), "1.23E+003"},
      {"percent and string", Format("%s%%", {"50"}), "50%"},
      {"index specifier", Format("%1:s %0:s", {"a", "b"}), "b a"},
      {"string precision truncates", Format("%.2s", {"abcdef"}), "ab"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.result, c.expected) << c.name;
}

TEST(Format, MismatchedOrMissingArgumentRaises) {
  EXPECT_THROW(Format("%d", {"text"}), EConvertError);
  EXPECT_THROW(Format("%s", {1}), EConvertError);
  EXPECT_THROW(Format("%d %d", {1}), EConvertError);
  EXPECT_THROW(Format("%q", {1}), EConvertError);
  EXPECT_THROW(Format("50%", {}), EConvertError);
}

TEST(Rounding, HalfToEvenAndRangeChecks) {
  const struct {
    double in;
    int64_t round, trunc;
  } cases[] = {{0.5, 0, 0},   {1.5, 2, 1},   {2.5, 2, 2},     {-0.5, 0, 0},
               {-1.5, -2, -1}, {-2.6, -3, -2}, {1e15 + 0.5, 1000000000000000, 1000000000000000}};
  for (const auto& c : cases) {
    EXPECT_EQ(Round(c.in), c.round) << c.in;
    EXPECT_EQ(Trunc(c.in), c.trunc) << c.in;
  }
  EXPECT_THROW(Round(std::nan("")), EInvalidOp);
  EXPECT_THROW(Trunc(std::numeric_limits<double>::infinity()), EInvalidOp);
  EXPECT_THROW(Round(9.3e18), EInvalidOp);
  EXPECT_EQ(Round(-9.2e18), -9200000000000000000LL);
  EXPECT_THROW(RoundToInt32(2147483647.5), ERangeError);
  EXPECT_EQ(RoundToInt32(-2147483648.4), -2147483648LL);
}

TEST(StringHelpers, CaseAndFileNames) {
  EXPECT_TRUE(SameText("MoskAudioIn1", "moskaudioin1"));
  EXPECT_LT(CompareText("abc", "ABD"), 0);
  EXPECT_EQ(ExtractFilePath("/opt/kestrune/kestrune"), "/opt/kestrune/");
  EXPECT_EQ(ExtractFilePath("kestrune"), "");
  EXPECT_EQ(ChangeFileExt("/opt/k.dir/kestrune", ".log"), "/opt/k.dir/kestrune.log");
  EXPECT_EQ(ChangeFileExt("/opt/kestrune.exe", ".log"), "/opt/kestrune.log");
  EXPECT_EQ(StrToInt(" -12 "), -12);
  EXPECT_THROW(StrToInt("12a"), EConvertError);
  double d = 0;
  EXPECT_TRUE(TryStrToFloat(FloatToStr(0.1), d));
  EXPECT_EQ(d, 0.1);
}

TEST(Lists, IndexErrorsCarryTheRuntimeText) {
  TList* list = Create<TList>();
  list->Add(nullptr);
  try {
    list->Get(3);
    FAIL();
  } catch (const EListError& e) {
    EXPECT_STREQ(e.what(), "Indice de liste hors limites (3)");
  }
  EXPECT_THROW(list->Delete(-1), EListError);
  list->Free();
}

TEST(Lists, SortExchangeAndOwnership) {
  int values[] = {3, 1, 2};
  TList* list = Create<TList>();
  for (int& v : values) list->Add(&v);
  list->Sort([](void* a, void* b) { return *static_cast<int*>(a) - *static_cast<int*>(b); });
  EXPECT_EQ(*static_cast<int*>(list->Get(0)), 1);
  EXPECT_EQ(*static_cast<int*>(list->Get(2)), 3);
  list->Exchange(0, 2);
  EXPECT_EQ(*static_cast<int*>(list->Get(0)), 3);
  list->Free();

  static int freed = 0;
  struct TItem : TObject {
    ~TItem() override { ++freed; }
  };
  TObjectList* owning = Create<TObjectList>(true);
  owning->Add(Create<TItem>());
  owning->Add(Create<TItem>());
  owning->Delete(0);
  EXPECT_EQ(freed, 1);
  owning->Free();
  EXPECT_EQ(freed, 2);

  TStringList* strings = Create<TStringList>();
  strings->AddObject("Default", nullptr);
  strings->Add("Line In");
  EXPECT_EQ(strings->IndexOf("line in"), 1);
  EXPECT_EQ(strings->IndexOf("absent"), -1);
  strings->Free();
}

}  // namespace
