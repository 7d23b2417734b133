// The dispatcher, driven with request records as the pipeline hands them over. No
// worker runs here (OnLoad is not called), so AddQueue is refused with 500: that
// answer tells a recognised AddQueue from a name that matches no command (400).
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "speech/dispatch.h"
#include "speech/tovaro.h"

namespace speech {
namespace {

using saori::WideString;

TEST(CommandDispatcherTest, NoArgumentsAnswers200WithLengthAndMaximum) {
  CTovaro tovaro;
  Answer answer = Dispatch(tovaro, {}, u"stale");
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.result, u"0");
  EXPECT_EQ(answer.values, std::vector<WideString>{u"0"});

  ASSERT_EQ(Dispatch(tovaro, {u"SetQueueMax", u"255"}).status, 200);
  answer = Dispatch(tovaro, {});
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.values, std::vector<WideString>{u"255"});
}

TEST(CommandDispatcherTest, CommandNamesIgnoreAsciiLetterCase) {
  struct Case {
    std::vector<WideString> arguments;
    std::int32_t status;
  } cases[] = {
      {{u"AddQueue", u"hi"}, 500},
      {{u"addqueue", u"hi"}, 500},
      {{u"ADDQUEUE", u"hi"}, 500},
      {{u"aDdQuEuE", u"hi"}, 500},
      {{u"clearqueue"}, 200},
      {{u"CLEARQUEUE", u"extra"}, 200},
      {{u"setqueuemax", u"7"}, 200},
      {{u"SETQUEUEMAX", u"8"}, 200},
  };
  CTovaro tovaro;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.arguments[0]));
    EXPECT_EQ(Dispatch(tovaro, c.arguments).status, c.status);
  }
  EXPECT_EQ(tovaro.QueueMax(), 8);
}

TEST(CommandDispatcherTest, NamesThatMatchNoCommandAnswer400WithQueueState) {
  CTovaro tovaro;
  ASSERT_EQ(Dispatch(tovaro, {u"SetQueueMax", u"9"}).status, 200);
  const std::vector<WideString> names = {
      u"Foo",         u"",           u"AddQueueX",  u"AddQueu",   u" AddQueue",
      u"AddQueue ",   u"Add Queue",  u"ClearQueue2", u"SetQueue",
      u"\uFF21ddQueue",  // a full-width A is not a letter to fold
      WideString(u"AddQueue\0", 9),
  };
  for (const WideString& name : names) {
    SCOPED_TRACE(testing::PrintToString(name));
    Answer answer = Dispatch(tovaro, {name, u"hi"}, u"stale");
    EXPECT_EQ(answer.status, 400);
    EXPECT_EQ(answer.result, u"0");
    EXPECT_EQ(answer.values, std::vector<WideString>{u"9"});
  }
}

TEST(CommandDispatcherTest, EveryAnswerCarriesLengthAndMaximumAfterTheCommand) {
  CTovaro tovaro;
  Answer set = Dispatch(tovaro, {u"SetQueueMax", u"12"});
  EXPECT_EQ(set.status, 200);
  EXPECT_EQ(set.result, u"0");
  EXPECT_EQ(set.values, std::vector<WideString>{u"12"});

  for (const std::vector<WideString>& refused :
       {std::vector<WideString>{u"AddQueue"}, {u"AddQueue", u"no worker"},
        {u"SetQueueMax", u"0"}}) {
    SCOPED_TRACE(testing::PrintToString(refused));
    Answer answer = Dispatch(tovaro, refused, u"stale");
    EXPECT_NE(answer.status, 200);
    EXPECT_EQ(answer.result, u"0");
    EXPECT_EQ(answer.values, std::vector<WideString>{u"12"});
  }
}

}  // namespace
}  // namespace speech
