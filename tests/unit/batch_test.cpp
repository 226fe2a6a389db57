#include <gtest/gtest.h>

#include <string>

#include "batch/batch.h"

namespace {

TEST(Batch, EndeJahrMustBeFourDigits) {
  struct Case {
    const char* arg;
    bool ok;
  } cases[] = {{"2010", true},  {"0000", true}, {"27", false},  {"20100", false},
               {"201a", false}, {"", false},    {" 201", false}};
  for (const auto& c : cases) EXPECT_EQ(Batch_EndeJahr_Valid(c.arg), c.ok) << c.arg;
}

TEST(Batch, BegDatMustBeZeroOrARealDate) {
  struct Case {
    const char* arg;
    bool ok;
  } cases[] = {
      {"0", true},         {"20041201", true},   {"20240229", true},  {"20000229", true},  {"20230229", false},
      {"19000229", false}, {"20041301", false},  {"20041200", false}, {"20040431", false}, {"00", false},
      {"2004120", false},  {"200412011", false}, {"2004-12-", false}, {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(Batch_BegDat_Valid(c.arg), c.ok) << c.arg;
}

TEST(Batch, ZeroBoundTakesEveryPerson) {
  struct Case {
    std::string von, bis, out_von, out_bis;
  } cases[] = {
      {"0", "9999", "        ", "zzzzzzzz"},
      {"0100", "0", "        ", "zzzzzzzz"},
      {"0000", "9999", "0000", "9999"},
      {"00", "9999", "00", "9999"},
  };
  for (const auto& c : cases) {
    std::string von = c.von, bis = c.bis;
    Batch_AllPersons(&von, &bis);
    EXPECT_EQ(von, c.out_von);
    EXPECT_EQ(bis, c.out_bis);
  }
}

}  // namespace
