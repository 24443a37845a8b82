// Log through real files, each test in a fresh temporary working directory: the file name, the
// line layout, level filtering, truncation, and a file that cannot be opened.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "brick/Log.h"

namespace fs = std::filesystem;
using Brick::Lib::Log;
using Strings = std::vector<std::string>;

namespace {

std::string stamp(std::time_t t, const char* format) {
  std::tm local{};
  localtime_r(&t, &local);
  char text[64];
  std::strftime(text, sizeof text, format, &local);
  return text;
}

// Every time stamp the clock can have shown from `from` to now, in a format.
std::set<std::string> stampsSince(std::time_t from, const char* format) {
  std::set<std::string> out;
  for (std::time_t t = from; t <= std::time(nullptr); ++t) {
    out.insert(stamp(t, format));
  }
  return out;
}

std::string pointerText(const void* p) {
  std::ostringstream text;
  text << p;
  return text.str();
}

class LogFile : public ::testing::Test {
 protected:
  void SetUp() override {
    home = fs::current_path();
    char pattern[] = "/tmp/logtest-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = pattern;
    fs::current_path(dir);
  }
  void TearDown() override {
    fs::current_path(home);
    fs::remove_all(dir);
  }
  // Regular files under the working directory, relative paths, sorted.
  Strings files() {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
      if (entry.is_regular_file()) {
        names.insert(fs::relative(entry.path(), dir).string());
      }
    }
    return Strings(names.begin(), names.end());
  }
  Strings lines(const std::string& name) {
    std::ifstream in(dir / name);
    Strings out;
    for (std::string line; std::getline(in, line);) {
      out.push_back(line);
    }
    return out;
  }

  fs::path home;
  fs::path dir;
  GUID id{};
};

}  // namespace

TEST_F(LogFile, NameAndLineLayout) {
  std::time_t before = std::time(nullptr);
  char text[] = "robot";
  Log log(text, &id, 3);
  log.write("three", 3);
  log.write("zero", 0);
  log.write("negative", -5);
  log.write("four", 4);  // above the level
  log.write("", 1);
  log.write("minus one", -1);

  // Read while the Log is still open: every line is flushed as it is written.
  Strings names = files();
  ASSERT_EQ(names.size(), 1u);
  std::string prefix = pointerText(&id) + "robot";
  ASSERT_EQ(names[0].compare(0, prefix.size(), prefix), 0) << names[0];
  std::string rest = names[0].substr(prefix.size());
  EXPECT_EQ(stampsSince(before, "%d%m%Y%H%M%S.log").count(rest), 1u) << rest;

  Strings got = lines(names[0]);
  const Strings tails{"  3 three", "  0 zero", "  -5 negative", "  1 ", "  -1 minus one"};
  ASSERT_EQ(got.size(), tails.size());
  std::set<std::string> stamps = stampsSince(before, "%d/%m/%Y-%H:%M:%S");
  for (std::size_t i = 0; i < got.size(); ++i) {
    ASSERT_GE(got[i].size(), 19u);
    EXPECT_EQ(stamps.count(got[i].substr(0, 19)), 1u) << got[i];
    EXPECT_EQ(got[i].substr(19), tails[i]);
  }
  EXPECT_TRUE(std::regex_match(got[0], std::regex(R"(\d\d/\d\d/\d{4}-\d\d:\d\d:\d\d  3 three)")));
}

TEST_F(LogFile, SetLogLevelFiltersLaterLines) {
  char text[] = "level";
  Log log(text, &id, 3);
  log.write("a", 3);
  log.setLogLevel(0);
  log.write("b", 1);
  log.write("c", 0);
  log.setLogLevel(5);
  log.write("d", 4);
  log.setLogLevel(-2);
  log.write("e", -1);
  log.write("f", -2);
  Strings got = lines(files().at(0));
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].substr(19), "  3 a");  // lines already written stay
  EXPECT_EQ(got[1].substr(19), "  0 c");
  EXPECT_EQ(got[2].substr(19), "  4 d");
  EXPECT_EQ(got[3].substr(19), "  -2 f");
}

TEST_F(LogFile, SecondLogInTheSameSecondTruncates) {
  char text[] = "same";
  // Retry when the second turns between the two: the names then differ by design.
  for (int attempt = 0; attempt < 5; ++attempt) {
    std::time_t before = std::time(nullptr);
    Log first(text, &id, 0);
    first.write("from the first", 0);
    Log second(text, &id, 0);
    if (std::time(nullptr) != before) {
      for (const auto& entry : fs::directory_iterator(dir)) {
        fs::remove(entry.path());
      }
      continue;
    }
    Strings names = files();
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(lines(names[0]).empty());
    second.write("from the second", 0);
    Strings got = lines(names[0]);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].substr(19), "  0 from the second");
    return;
  }
  FAIL() << "the clock never stood still for two constructors";
}

TEST_F(LogFile, UnopenableFileIsDiscardedSilently) {
  char text[] = "missing/dir/name";
  {
    Log log(text, &id, 9);
    log.write("lost", 0);
    Log none;  // no file at all
    none.write("lost too", 0);
    none.setLogLevel(100);
    none.write("and this", 50);
  }
  EXPECT_EQ(files(), Strings{});
}

TEST_F(LogFile, DirectoryPartJoinsThePointerText) {
  // The text follows the pointer text without a separator, so "sub/x" lands in a directory
  // named "<pointer>sub" when there is one.
  fs::create_directory(dir / (pointerText(&id) + "sub"));
  char text[] = "sub/x";
  Log log(text, &id, 0);
  log.write("inside", 0);
  Strings names = files();
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].rfind(pointerText(&id) + "sub/x", 0), 0u) << names[0];
  EXPECT_EQ(lines(names[0]).size(), 1u);
}
