#include "saori/request_pipeline.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>
#include <vector>

#include "saori/saori_base.h"
#include "saori/saori_request.h"
#include "saori/saori_response.h"

namespace saori {
namespace {

// A plug-in that records which hooks the pipeline calls and lets each test decide
// what its execution writes.
class RecordingPlugin : public CSAORI {
 public:
  void OnBeforeExecute(CSAORIRequest& request, CSAORIResponse& response) override {
    calls.push_back("before");
    if (onBefore) onBefore(request, response);
  }
  void OnAfterExecute(CSAORIRequest&, CSAORIResponse&) override {
    calls.push_back("after");
  }
  void Execute(CSAORIRequest& request, CSAORIResponse& response) override {
    calls.push_back("execute");
    seenCodePage = request.codePage;
    seenArguments = request.arguments;
    if (onExecute) onExecute(request, response);
  }
  bool ExecuteInsecure(CSAORIRequest& request, CSAORIResponse& response) override {
    calls.push_back("insecure");
    if (acceptInsecure) return true;
    return CSAORI::ExecuteInsecure(request, response);
  }
  bool OnUnload() override { return true; }
  bool OnLoad() override { return true; }

  std::vector<std::string> calls;
  std::function<void(CSAORIRequest&, CSAORIResponse&)> onBefore;
  std::function<void(CSAORIRequest&, CSAORIResponse&)> onExecute;
  bool acceptInsecure = false;
  CodePage seenCodePage = 0;
  std::vector<WideString> seenArguments;
};

void AnswerOk(CSAORIRequest&, CSAORIResponse& response) {
  response.status = 200;
  response.result = u"r";
  response.values = {u"v0"};
}

class RequestPipelineTest : public ::testing::Test {
 protected:
  std::string Process(const std::string& bytes) { return ProcessRequest(plugin, bytes); }
  RecordingPlugin plugin;
};

using Calls = std::vector<std::string>;

TEST_F(RequestPipelineTest, ExecutesAndAnswersInTheRequestsCharset) {
  plugin.onExecute = AnswerOk;
  EXPECT_EQ(Process("EXECUTE SAORI/1.0\r\nCharset: UTF-8\r\nArgument0: a\r\n\r\n"),
            "SAORI/1.0 200 OK\r\nCharset: UTF-8\r\nResult: r\r\nValue0: v0\r\n\r\n");
  EXPECT_EQ(plugin.calls, (Calls{"before", "execute", "after"}));
  EXPECT_EQ(plugin.seenCodePage, 65001u);
  EXPECT_EQ(plugin.seenArguments, std::vector<WideString>{u"a"});
}

TEST_F(RequestPipelineTest, DecodesAndEncodesShiftJisByDefault) {
  // "Argument0: あ" in Shift_JIS, no charset line; the answer echoes it back.
  plugin.onExecute = [](CSAORIRequest& request, CSAORIResponse& response) {
    response.status = 200;
    response.result = request.arguments.at(0);
  };
  EXPECT_EQ(Process("EXECUTE SAORI/1.0\r\nArgument0: \x82\xa0\r\n\r\n"),
            "SAORI/1.0 200 OK\r\nCharset: Shift_JIS\r\nResult: \x82\xa0\r\n\r\n");
  EXPECT_EQ(plugin.seenArguments, std::vector<WideString>{u"\u3042"});
}

TEST_F(RequestPipelineTest, AnswersTheVersionRequestWithoutAnyHook) {
  EXPECT_EQ(Process("GET Version SAORI/1.0\r\nCharset: Shift_JIS\r\nSender: x\r\n\r\n"),
            "SAORI/1.0 200 OK\r\nCharset: Shift_JIS\r\nResult: \r\n\r\n");
  EXPECT_TRUE(plugin.calls.empty());
  EXPECT_EQ(plugin.requestCounter, 1);
}

TEST_F(RequestPipelineTest, RejectsUnknownMethodsAndUnparsableText) {
  struct Case {
    std::string request;
    std::string statusLine;
  };
  const Case cases[] = {
      {"get version SAORI/1.0\r\n\r\n", "SAORI/1.0 400 Bad Request\r\n"},
      {"EXECUTE2 SAORI/1.0\r\n\r\n", "SAORI/1.0 400 Bad Request\r\n"},
      {"EXECUTE saori/1.0\r\n\r\n", "SAORI/1.0 500 Internal Server Error\r\n"},
      {"", "SAORI/1.0 500 Internal Server Error\r\n"},
      {"\r\nEXECUTE SAORI/1.0\r\n", "SAORI/1.0 500 Internal Server Error\r\n"},
  };
  for (const Case& c : cases) {
    const std::string answer = Process(c.request);
    EXPECT_EQ(answer.substr(0, c.statusLine.size()), c.statusLine) << c.request;
  }
  EXPECT_TRUE(plugin.calls.empty());
}

TEST_F(RequestPipelineTest, UnparsableTextStillStatesTheDetectedCharset) {
  EXPECT_EQ(Process("nonsense\nCharset: EUC-JP\n"),
            "SAORI/1.0 500 Internal Server Error\r\nCharset: EUC-JP\r\nResult: \r\n\r\n");
}

TEST_F(RequestPipelineTest, MethodsInAnyLetterCaseRunTheHooks) {
  for (const char* method : {"execute", "get", "notify", "Execute"}) {
    plugin.calls.clear();
    Process(std::string(method) + " SAORI/1.0\r\n\r\n");
    EXPECT_EQ(plugin.calls, (Calls{"before", "execute", "after"})) << method;
  }
}

TEST_F(RequestPipelineTest, LocalSecurityLevelsRunExecute) {
  for (const char* level : {"SecurityLevel: Local\r\n", "SecurityLevel: local\r\n",
                            "securitylevel: LOCAL\r\n", "SecurityLevel: \r\n", ""}) {
    plugin.calls.clear();
    Process(std::string("EXECUTE SAORI/1.0\r\n") + level + "\r\n");
    EXPECT_EQ(plugin.calls, (Calls{"before", "execute", "after"})) << level;
  }
}

TEST_F(RequestPipelineTest, OtherSecurityLevelsAreRefusedByTheDefaultHook) {
  plugin.onExecute = AnswerOk;
  for (const char* level : {"External", "localhost", " local"}) {
    plugin.calls.clear();
    const std::string answer =
        Process(std::string("EXECUTE SAORI/1.0\r\nSecurityLevel: ") + level + "\r\n\r\n");
    EXPECT_EQ(answer.substr(0, 37), "SAORI/1.0 500 Internal Server Error\r\n") << level;
    EXPECT_EQ(plugin.calls, (Calls{"before", "insecure", "after"})) << level;
  }
}

TEST_F(RequestPipelineTest, AnAcceptingInsecureHookKeepsItsStatus) {
  plugin.acceptInsecure = true;
  plugin.onBefore = [](CSAORIRequest&, CSAORIResponse& response) { response.status = 0; };
  EXPECT_EQ(Process("EXECUTE SAORI/1.0\r\nSecurityLevel: External\r\n\r\n").substr(0, 18),
            "SAORI/1.0 200 OK\r\n");
}

TEST_F(RequestPipelineTest, TheSecurityLevelIsReadBeforeTheFirstHook) {
  plugin.onBefore = [](CSAORIRequest& request, CSAORIResponse&) {
    request.options[u"SecurityLevel"] = u"local";
  };
  Process("EXECUTE SAORI/1.0\r\nSecurityLevel: External\r\n\r\n");
  EXPECT_EQ(plugin.calls, (Calls{"before", "insecure", "after"}));
}

TEST_F(RequestPipelineTest, NotifyDropsResultAndValuesOnlyOnSuccess) {
  plugin.onExecute = AnswerOk;
  EXPECT_EQ(Process("NOTIFY SAORI/1.0\r\nCharset: UTF-8\r\n\r\n"),
            "SAORI/1.0 204 No Content\r\nCharset: UTF-8\r\nResult: \r\n\r\n");

  plugin.onExecute = [](CSAORIRequest&, CSAORIResponse& response) {
    response.status = 0;
    response.values = {u"v"};
  };
  EXPECT_EQ(Process("notify SAORI/1.0\r\nCharset: UTF-8\r\n\r\n"),
            "SAORI/1.0 204 No Content\r\nCharset: UTF-8\r\nResult: \r\n\r\n");

  plugin.onExecute = [](CSAORIRequest&, CSAORIResponse& response) {
    response.status = 400;
    response.result = u"3";
    response.values = {u"255"};
  };
  EXPECT_EQ(Process("NOTIFY SAORI/1.0\r\nCharset: UTF-8\r\n\r\n"),
            "SAORI/1.0 400 Bad Request\r\nCharset: UTF-8\r\nResult: 3\r\nValue0: 255\r\n\r\n");
}

TEST_F(RequestPipelineTest, NotifyKeepsOptions) {
  plugin.onExecute = [](CSAORIRequest&, CSAORIResponse& response) {
    response.status = 200;
    response.options[u"X"] = u"y";
  };
  EXPECT_EQ(Process("NOTIFY SAORI/1.0\r\nCharset: UTF-8\r\n\r\n"),
            "SAORI/1.0 204 No Content\r\nCharset: UTF-8\r\nResult: \r\nX: y\r\n\r\n");
}

TEST_F(RequestPipelineTest, TheCounterAdvancesForEveryRequestAndWraps) {
  Process("");
  Process("GET Version SAORI/1.0\r\n\r\n");
  EXPECT_EQ(plugin.requestCounter, 2);

  plugin.requestCounter = 2147483645;
  Process("EXECUTE SAORI/1.0\r\n\r\n");
  EXPECT_EQ(plugin.requestCounter, 2147483646);
  Process("EXECUTE SAORI/1.0\r\n\r\n");
  EXPECT_EQ(plugin.requestCounter, 1);
}

TEST_F(RequestPipelineTest, AFailingHookLeavesThePipelineAsAnException) {
  plugin.onExecute = [](CSAORIRequest&, CSAORIResponse&) { throw std::bad_alloc(); };
  EXPECT_THROW(Process("EXECUTE SAORI/1.0\r\n\r\n"), std::bad_alloc);
  EXPECT_EQ(plugin.calls, (Calls{"before", "execute"}));
}

TEST_F(RequestPipelineTest, DecodingStopsAtTheFirstNulByte) {
  const std::string request("EXECUTE SAORI/1.0\r\nArgument0: a\0\r\nArgument1: b\r\n\r\n",
                            50);
  Process(request);
  EXPECT_EQ(plugin.seenArguments, std::vector<WideString>{u"a"});
}

}  // namespace
}  // namespace saori
