// The statements planex's batched step, planex-db and the tests send spell every table and column
// as db/schema.sql does, so that they run on a database of a case-sensitive collation too. (The
// system's own day-by-day statements are sent as the system always wrote them, and are not read
// here.)
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The tables and columns of the schema script, by their upper-case form: the names after a
// schema in CREATE TABLE and the first word of every column line.
std::map<std::string, std::string> SchemaNames(const std::string& script) {
  std::map<std::string, std::string> names;
  static const std::regex table(R"(CREATE TABLE [^.\s]+\.(\w+))");
  static const std::regex column(R"(^\s+(\w+) (?:var)?(?:char|datetime|int|smallint|decimal|numeric|bit))",
                                 std::regex::multiline);
  for (const std::regex* re : {&table, &column}) {
    for (std::sregex_iterator it(script.begin(), script.end(), *re), end; it != end; ++it) {
      names.emplace(Upper((*it)[1]), (*it)[1]);
    }
  }
  return names;
}

TEST(Identifiers, StatementsSpellTablesAndColumnsAsTheSchemaDoes) {
  const fs::path root = PLANEX_SOURCE_DIR;
  const std::map<std::string, std::string> names = SchemaNames(Read(root / "db/schema.sql"));
  ASSERT_GT(names.size(), 100u);
  ASSERT_EQ(names.at("TAGTAG"), "TagTag");
  std::vector<fs::path> files = {root / "src/person/batch_sql.cpp"};
  for (const char* folder : {"tools/db", "tests/e2e", "tests/fixtures", "tests/unit"}) {
    for (const auto& entry : fs::directory_iterator(root / folder)) {
      if (entry.path().extension() == ".cpp" && entry.path().filename() != "identifiers_test.cpp") {
        files.push_back(entry.path());
      }
    }
  }
  // The words of every string literal of the file.
  static const std::regex literal(R"re("((?:[^"\\\n]|\\.)*)")re");
  static const std::regex word(R"(\b[A-Za-z]\w*\b)");
  for (const fs::path& file : files) {
    const std::string text = Read(file);
    for (std::sregex_iterator l(text.begin(), text.end(), literal), end; l != end; ++l) {
      const std::string inside = (*l)[1];
      for (std::sregex_iterator w(inside.begin(), inside.end(), word); w != end; ++w) {
        const std::string spelt = (*w)[0];
        const auto known = names.find(Upper(spelt));
        if (known != names.end()) {
          EXPECT_EQ(spelt, known->second) << file.filename().string() << ": " << inside.substr(0, 120);
        }
      }
    }
  }
}

}  // namespace
