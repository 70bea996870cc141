// Text formatting, rounding and the small helpers of the runtime.
#include "platform/rtl/SysUtils.h"

#include <gtest/gtest.h>
#include <locale.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <optional>
#include <string>

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
      {"%d", Format("Indice de liste hors limites (%d)", {-3}),
       "Indice de liste hors limites (-3)"},
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
  for (const auto& c : cases)
    EXPECT_EQ(c.result, c.expected) << c.name;
}

TEST(Format, MismatchedOrMissingArgumentRaises) {
  EXPECT_THROW(Format("%d", {"text"}), EConvertError);
  EXPECT_THROW(Format("%s", {1}), EConvertError);
  EXPECT_THROW(Format("%d %d", {1}), EConvertError);
  EXPECT_THROW(Format("%q", {1}), EConvertError);
  EXPECT_THROW(Format("50%", {}), EConvertError);
}

// Sets the decimal separator for one test and puts the previous one back.
class SeparatorTest : public ::testing::Test {
 protected:
  void TearDown() override { DecimalSeparator = saved_; }
  const char saved_ = DecimalSeparator;
};

TEST_F(SeparatorTest, NumbersCarryTheDecimalSeparator) {
  const struct {
    const char* name;
    const char* format;
    double value;
    const char* point;
    const char* comma;
  } cases[] = {
      {"fixed", "%.3f", 3.14159, "3.142", "3,142"},
      {"fixed without decimals has no separator", "%.0f", 2.5, "2", "2"},
      {"general", "%g", 0.5, "0.5", "0,5"},
      {"exponent", "%.3e", 1234.5, "1.23E+003", "1,23E+003"},
      {"thousands group with the other mark", "%.1n", 1234567.26, "1,234,567.3", "1.234.567,3"},
  };
  for (const auto& c : cases) {
    DecimalSeparator = '.';
    EXPECT_EQ(Format(c.format, {c.value}), c.point) << c.name;
    DecimalSeparator = ',';
    EXPECT_EQ(Format(c.format, {c.value}), c.comma) << c.name;
  }
  // Stored descriptions read FloatToStr back: it keeps the point.
  EXPECT_EQ(FloatToStr(0.25), "0.25");
  double back = 0;
  EXPECT_TRUE(TryStrToFloat("0.25", back));
  EXPECT_EQ(back, 0.25);
}

// Past 15 digits before the separator, fixed notation gives way to the
// exponent form: 15 significant digits, "E", the exponent in 3 digits.
TEST_F(SeparatorTest, VeryLargeValuesTakeTheExponentForm) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    const char* name;
    const char* format;
    double value;
    const char* expected;
  } cases[] = {
      {"15 integer digits stay fixed", "%.2f", 999999999999999.0, "999999999999999.00"},
      {"1e15 has 16 digits", "%.2f", 1e15, "1.00000000000000E015"},
      {"rounding up to 16 digits", "%.0f", 999999999999999.9, "1.00000000000000E015"},
      {"negative", "%.1f", -2.5e20, "-2.50000000000000E020"},
      {"largest double", "%.2f", std::numeric_limits<double>::max(), "1.79769313486232E308"},
      {"number form does not group the exponent form", "%.1n", 1e16, "1.00000000000000E016"},
      {"small values stay fixed", "%.3f", 1e-20, "0.000"},
      {"NaN", "%.2f", std::nan(""), "NAN"},
      {"infinity", "%.2n", inf, "INF"},
      {"negative infinity", "%e", -inf, "-INF"},
      {"NaN in general form", "%g", std::nan(""), "NAN"},
  };
  DecimalSeparator = '.';
  for (const auto& c : cases)
    EXPECT_EQ(Format(c.format, {c.value}), c.expected) << c.name;
  DecimalSeparator = ',';
  EXPECT_EQ(Format("%.2f", {1e20}), "1,00000000000000E020");
}

TEST(Format, AbsurdWidthOrPrecisionRaises) {
  EXPECT_THROW(Format("%.100000f", {1.0}), EConvertError);
  EXPECT_THROW(Format("%99999999999d", {1}), EConvertError);
  EXPECT_THROW(Format("%*d", {100000, 1}), EConvertError);
  EXPECT_EQ(Format("%*d", {3, 1}), "  1");
  try {
    Format("%d", {"x"});
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Format '%d' incorrect ou incompatible avec l'argument");
  }
}

// The first installed locale whose decimal separator is a comma, if any.
std::optional<std::string> CommaLocale() {
  for (const char* name : {"fr_FR.UTF-8", "fr_FR.utf8", "de_DE.UTF-8", "de_DE.utf8"}) {
    locale_t loc = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
    if (loc != static_cast<locale_t>(0)) {
      freelocale(loc);
      return name;
    }
  }
  return std::nullopt;
}

// The GUI toolkit sets the user's locale for the whole process; numbers must
// still be written and read with the runtime's own separator.
TEST_F(SeparatorTest, TheProcessLocaleChangesNothing) {
  const std::optional<std::string> comma = CommaLocale();
  if (!comma)
    GTEST_SKIP() << "no locale with a decimal comma is installed";
  const std::string savedLocale = setlocale(LC_ALL, nullptr);
  ASSERT_NE(setlocale(LC_ALL, comma->c_str()), nullptr);
  DecimalSeparator = '.';
  EXPECT_EQ(Format("%.2f %.3e %g", {1.5, 1234.5, 0.25}), "1.50 1.23E+003 0.25");
  EXPECT_EQ(FloatToStr(0.1), "0.1");
  double back = 0;
  EXPECT_TRUE(TryStrToFloat("2.75", back));
  EXPECT_EQ(back, 2.75);
  setlocale(LC_ALL, savedLocale.c_str());

  const char* savedAll = std::getenv("LC_ALL");
  const std::string savedAllText = savedAll ? savedAll : "";
  setenv("LC_ALL", comma->c_str(), 1);
  EXPECT_EQ(UserDecimalSeparator(), ',');
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(UserDecimalSeparator(), '.');
  if (savedAll)
    setenv("LC_ALL", savedAllText.c_str(), 1);
  else
    unsetenv("LC_ALL");
}

TEST(RuntimeErrors, EachHelperRaisesItsClassWithItsText) {
  using kestrune::RaiseDivByZero;
  using kestrune::RaiseIntfCastError;
  using kestrune::RaiseInvalidCast;
  using kestrune::RaiseInvalidOp;
  using kestrune::RaiseOutOfMemory;
  using kestrune::RaiseRangeError;
  const struct {
    std::function<void()> raise;
    const char* className;
    const char* text;
  } cases[] = {
      {RaiseInvalidCast, "EInvalidCast", "Transtypage de classe incorrect"},
      {RaiseIntfCastError, "EIntfCastError", "Interface non supportée"},
      {RaiseDivByZero, "EDivByZero", "Division par zéro"},
      {RaiseOutOfMemory, "EOutOfMemory", "Mémoire insuffisante"},
      {RaiseInvalidOp, "EInvalidOp", "Opération en virgule flottante incorrecte"},
      {RaiseRangeError, "ERangeError", "Erreur de vérification des limites"},
  };
  for (const auto& c : cases) {
    try {
      c.raise();
      ADD_FAILURE() << c.className << " not raised";
    } catch (const Exception& e) {
      EXPECT_STREQ(e.ClassName(), c.className);
      EXPECT_EQ(e.Message(), c.text) << c.className;
    }
  }
  // Code that expects an invalid cast also catches the interface error.
  EXPECT_THROW(RaiseIntfCastError(), EInvalidCast);
  EXPECT_THROW(RaiseDivByZero(), EIntError);
  EXPECT_THROW(RaiseInvalidOp(), EMathError);
  try {
    StrToInt("12a");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'12a' n'est pas une valeur entière correcte");
  }
}

TEST(Rounding, HalfToEvenAndRangeChecks) {
  const struct {
    double in;
    int64_t round, trunc;
  } cases[] = {{0.5, 0, 0},
               {1.5, 2, 1},
               {2.5, 2, 2},
               {-0.5, 0, 0},
               {-1.5, -2, -1},
               {-2.6, -3, -2},
               {1e15 + 0.5, 1000000000000000, 1000000000000000}};
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
  for (int& v : values)
    list->Add(&v);
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
