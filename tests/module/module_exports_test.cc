// The four exports of the built module, called as a host calls them.
#include <gtest/gtest.h>

#include <string>

#include "module/module_fixture.h"
#include "platform/host_memory.h"
#include "support/module_loader.h"

namespace test_support {
namespace {

const std::string kVersionRequest = SaoriRequest(
    "GET Version SAORI/1.0", {{"Charset", "Shift_JIS"}, {"Sender", "test host"}});
const std::string kVersionAnswer =
    "SAORI/1.0 200 OK\r\nCharset: Shift_JIS\r\nResult: \r\n\r\n";

using ModuleExportsTest = ModuleTest;

TEST_F(ModuleExportsTest, VersionRequestIsAnsweredWithZeroTerminatedBlock) {
  ASSERT_EQ(module.Load("C:/host/ghost/"), 1);
  Answer answer = module.Request(kVersionRequest);
  ASSERT_FALSE(answer.isNull);
  EXPECT_EQ(answer.bytes, kVersionAnswer);
  EXPECT_EQ(answer.length, static_cast<long>(kVersionAnswer.size()));
  EXPECT_TRUE(answer.zeroTerminated);
  EXPECT_EQ(module.Unload(), 1);
}

TEST_F(ModuleExportsTest, LoadAndUnloadReportOneAndSecondUnloadFindsNothing) {
  EXPECT_EQ(module.Unload(), 1);  // nothing loaded yet
  EXPECT_EQ(module.Load("C:/host/ghost/"), 1);
  EXPECT_EQ(module.Unload(), 1);
  EXPECT_EQ(module.Unload(), 1);
  EXPECT_EQ(module.LoadU("/home/user/ghost/"), 1);
  EXPECT_EQ(module.Unload(), 1);
  EXPECT_EQ(module.Unload(), 1);
}

TEST_F(ModuleExportsTest, RequestWithoutInstanceGetsFailureAnswer) {
  Answer before = module.Request(kVersionRequest);
  EXPECT_EQ(before.bytes, kFailureAnswer);
  EXPECT_EQ(before.length, 39);
  EXPECT_TRUE(before.zeroTerminated);

  ASSERT_EQ(module.Load("C:/ghost/"), 1);
  ASSERT_EQ(module.Unload(), 1);
  Answer after = module.Request(kVersionRequest);
  EXPECT_EQ(after.bytes, kFailureAnswer);
  EXPECT_EQ(after.length, 39);
}

// Calls no host should make must neither crash nor hand back a block whose length
// would make the host read from null.
TEST_F(ModuleExportsTest, MalformedRequestCallsAreSafe) {
  ASSERT_EQ(module.Load("C:/ghost/"), 1);

  Answer noLength = module.RawRequest(platform::NewHostBlock(kVersionRequest), nullptr);
  EXPECT_TRUE(noLength.isNull);

  long negative = -1;
  Answer negativeLength = module.RawRequest(platform::NewHostBlock(kVersionRequest), &negative);
  EXPECT_EQ(negativeLength.bytes, kFailureAnswer);
  EXPECT_EQ(negative, 39);

  long claimed = 100;
  Answer nullBlock = module.RawRequest(nullptr, &claimed);
  EXPECT_EQ(nullBlock.bytes, kFailureAnswer);
  EXPECT_EQ(claimed, 39);

  // An empty request is an ordinary one that does not parse.
  long none = 0;
  Answer empty = module.RawRequest(nullptr, &none);
  ASSERT_FALSE(empty.isNull);
  EXPECT_EQ(StatusLine(empty.bytes), "SAORI/1.0 500 Internal Server Error");
  EXPECT_EQ(empty.length, static_cast<long>(empty.bytes.size()));
  EXPECT_TRUE(empty.zeroTerminated);

  // The module is still in order.
  EXPECT_EQ(module.Request(kVersionRequest).bytes, kVersionAnswer);
  EXPECT_EQ(module.Unload(), 1);
}

// Every one of the *len bytes counts, zero bytes included: the charset line after
// a zero byte still chooses the code page, while the text ends at the zero byte.
TEST_F(ModuleExportsTest, RequestBytesAfterZeroByteAreSeen) {
  ASSERT_EQ(module.Load("C:/ghost/"), 1);
  static const char kBytes[] = "EXECUTE SAORI/1.0\r\nArgument0: x\0\r\nCharset: UTF-8\r\n\r\n";
  const std::string request(kBytes, sizeof kBytes - 1);
  Answer answer = module.Request(request);
  EXPECT_EQ(StatusLine(answer.bytes), "SAORI/1.0 400 Bad Request");
  EXPECT_EQ(HeaderValue(answer.bytes, "Charset"), "UTF-8");
  EXPECT_EQ(module.Unload(), 1);
}

TEST_F(ModuleExportsTest, SecondLoadReplacesTheInstance) {
  std::size_t threadsBefore = ThreadCount();
  ASSERT_EQ(module.Load("C:/ghost/"), 1);
  std::size_t threadsLoaded = ThreadCount();
  Answer set = module.Request(HostExecute("UTF-8", {"SetQueueMax", "7"}));
  ASSERT_EQ(HeaderValue(set.bytes, "Value0"), "7");

  EXPECT_EQ(module.Load("C:/ghost/"), 1);
  EXPECT_EQ(QueueState(), "0/255");  // a new instance, not the old one
  // The first instance's worker has gone with it.
  EXPECT_LE(WaitForAtMostThreads(threadsLoaded, 2000), threadsLoaded);
  EXPECT_EQ(module.Unload(), 1);
  EXPECT_LE(WaitForAtMostThreads(threadsBefore, 2000), threadsBefore);
  EXPECT_EQ(module.Unload(), 1);
}

}  // namespace
}  // namespace test_support
