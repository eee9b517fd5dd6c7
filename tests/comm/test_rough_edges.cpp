// What the user reads under a line error: the cause and the remedy for the port, the right
// advice for a device the user may not open, and all of it in English with LANGUAGE=en.
#include <gtest/gtest.h>

#include <cerrno>
#include <set>

#include "comm/CPort.h"
#include "support/English.h"

namespace {

const std::string kPort = "/dev/ttyUSB7";

TEST(RoughEdgesLineErrors, EachCauseHasAdviceOfItsOwnNamingThePort) {
  // Errors of one cause share their advice; each cause has its own.
  const std::vector<std::vector<int>> causes = {
      {EIO, ENXIO, ENODEV, EPIPE}, {ENOENT}, {EBUSY, EWOULDBLOCK}, {ETIMEDOUT}, {EACCES, EPERM}};
  std::set<std::string> seen;
  for (const auto& cause : causes) {
    const std::string first = LineErrorHint(cause.front(), kPort);
    EXPECT_NE(first.find(kPort), std::string::npos) << cause.front();
    EXPECT_TRUE(seen.insert(first).second) << cause.front();
    for (int err : cause) EXPECT_EQ(LineErrorHint(err, kPort), first) << err;
  }
  // Numbers that tell a user nothing to act on add no line.
  for (int err : {0, EBADF, EINVAL, ENOTTY}) EXPECT_EQ(LineErrorHint(err, kPort), "") << err;
  // The hint follows the message on a line of its own.
  const EComPort e(CError_ReadFailed, EIO, LineErrorHint(EIO, kPort));
  EXPECT_EQ(std::string(e.what()), EComPort(CError_ReadFailed, EIO).what() + ("\n" + e.Hint));
}

TEST(RoughEdgesLineErrors, JoiningTheGroupIsAdvisedOnlyWhereTheGroupMayReadAndWrite) {
  const struct {
    unsigned Mode;
    bool NamesGroup;
  } cases[] = {{0660, true}, {0670, true}, {0600, false}, {0640, false}, {0620, false}, {0606, false}};
  for (const auto& c : cases) {
    const std::string advice = AccessAdvice(kPort, c.Mode, "alice", "plugdev");
    EXPECT_NE(advice.find(kPort), std::string::npos) << std::oct << c.Mode;
    EXPECT_EQ(advice.find("plugdev") != std::string::npos, c.NamesGroup) << std::oct << c.Mode;
    EXPECT_EQ(advice.find("alice") != std::string::npos, !c.NamesGroup) << std::oct << c.Mode;
  }
}

TEST(RoughEdgesLineErrors, NoRussianIsLeftInEnglish) {
  TEnglishGuard english;
  for (int err : {EIO, ENOENT, EBUSY, ETIMEDOUT, EACCES}) {
    const std::string hint = LineErrorHint(err, kPort);
    EXPECT_FALSE(HasCyrillic(EComPort(CError_OpenFailed, err, hint).what())) << hint;
  }
  for (unsigned mode : {0660u, 0600u})
    EXPECT_FALSE(HasCyrillic(AccessAdvice(kPort, mode, "root", "root"))) << std::oct << mode;
}

}  // namespace
