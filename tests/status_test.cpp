#include <gtest/gtest.h>

#include <string>

#include "comm/Deadline.h"
#include "comm/SerialCommunication.h"
#include "comm/tStatus.h"

using nFANTOM100::tStatus;

TEST(Status, FreshRecordIsSuccessWithNoPlace) {
  tStatus s;
  EXPECT_EQ(s.getCode(), 0);
  EXPECT_STREQ(s.getFileName(), "");
  EXPECT_EQ(s.getLineNumber(), 0u);
  EXPECT_TRUE(s.isSuccess());
}

TEST(Status, FirstFatalCodeStays) {
  tStatus s(-5, "a.cpp", 10);
  s.setCode(-7, "b.cpp", 20);
  EXPECT_EQ(s.getCode(), -5);
  EXPECT_STREQ(s.getFileName(), "a.cpp");
  EXPECT_EQ(s.getLineNumber(), 10u);
  s.setCode(3, "c.cpp", 30);
  s.setCode(0, "d.cpp", 40);
  EXPECT_EQ(s.getCode(), -5);
}

TEST(Status, WarningGivesWayOnlyToFatal) {
  tStatus s(3, "a.cpp", 1);
  s.setCode(2, "b.cpp", 2);
  EXPECT_EQ(s.getCode(), 3);
  EXPECT_STREQ(s.getFileName(), "a.cpp");
  s.setCode(0, "z.cpp", 9);
  EXPECT_EQ(s.getCode(), 3);
  s.setCode(-1, "c.cpp", 3);
  EXPECT_EQ(s.getCode(), -1);
  EXPECT_STREQ(s.getFileName(), "c.cpp");
  EXPECT_EQ(s.getLineNumber(), 3u);
}

TEST(Status, SuccessGivenSuccessKeepsItsPlace) {
  tStatus s(0, "here.cpp", 7);
  s.setCode(0, "there.cpp", 8);
  EXPECT_STREQ(s.getFileName(), "here.cpp");
  EXPECT_EQ(s.getLineNumber(), 7u);
  s.setCode(4, "warn.cpp", 9);
  EXPECT_EQ(s.getCode(), 4);
}

TEST(Status, AssignFollowsTheSameRule) {
  tStatus s(2, "a.cpp", 1);
  s.assign(tStatus(1, "b.cpp", 2));
  EXPECT_EQ(s.getCode(), 2);
  s.assign(tStatus(-3, "c.cpp", 3));
  EXPECT_EQ(s.getCode(), -3);
  EXPECT_STREQ(s.getFileName(), "c.cpp");
  s.clear();
  EXPECT_TRUE(s.isSuccess());
  EXPECT_STREQ(s.getFileName(), "");
  EXPECT_EQ(s.getLineNumber(), 0u);
}

TEST(Status, FileNameIsCutAtOneHundredCharacters) {
  std::string longName(150, 'x');
  tStatus s(-1, longName.c_str(), 1);
  EXPECT_EQ(std::string(s.getFileName()), std::string(100, 'x'));
  tStatus copy(s);
  EXPECT_EQ(std::string(copy.getFileName()), std::string(100, 'x'));
  tStatus empty(1, "", 2);
  EXPECT_STREQ(empty.getFileName(), "");
}

// The link records its own source by its place in the tree, whatever the checkout's depth: an
// absolute path from a deep checkout would not fit the record's 100 characters.
TEST(Status, LinkRecordsItsFileRelativeToTheSourceTree) {
  Comm::SerialCommunication link;
  unsigned char keepAlive[] = {0x0D};
  link.sendDirectCommand(1, keepAlive, sizeof keepAlive, nullptr, 0);
  EXPECT_STREQ(link.getStatus().getFileName(), "link/src/SerialCommunication.cpp");
}

TEST(Status, ExactlyOneClassHolds) {
  for (long code : {-100L, -1L, 0L, 1L, 100L}) {
    tStatus s(code, "f", 1);
    EXPECT_NE(s.isFatal(), s.isNotFatal()) << code;
    EXPECT_EQ(s.isSuccess() + s.isWarning() + s.isFatal(), 1) << code;
  }
}

TEST(Deadline, CountsDownAndExpires) {
  Comm::Deadline past(0);
  EXPECT_TRUE(past.expired());
  EXPECT_EQ(past.remainingMs(), 0);
  Comm::Deadline later(5000);
  EXPECT_FALSE(later.expired());
  EXPECT_GT(later.remainingMs(), 4000);
  EXPECT_LE(later.remainingMs(), 5000);
}
