#include "saori/saori_base.h"

#include <clocale>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "saori/saori_request.h"
#include "saori/saori_response.h"
#include "saori/test_plugin.h"

namespace saori {
namespace {

using WordGetter = const WideString& (CSAORIBase::*)() const;

struct WordCase {
  WordGetter getter;
  const char16_t* expected;
  std::size_t length;
};

const WordCase kWords[] = {
    {&CSAORIBase::GetProtocolVersion, u"SAORI/1.0", 9},
    {&CSAORIBase::GetFirstLineMarker, u" SAORI/", 7},
    {&CSAORIBase::GetArgumentPrefix, u"Argument", 8},
    {&CSAORIBase::GetValuePrefix, u"Value", 5},
    {&CSAORIBase::GetResultKey, u"Result", 6},
};

TEST(SaoriBaseTest, ProtocolWordsAreExactAndOneObjectEach) {
  TestPlugin first;
  TestPlugin second;
  const CSAORIBase& a = first;
  const CSAORIBase& b = second;
  for (const WordCase& word : kWords) {
    const WideString& text = (a.*word.getter)();
    EXPECT_EQ(text, word.expected);
    EXPECT_EQ(text.size(), word.length);
    EXPECT_EQ(&(a.*word.getter)(), &text);
    EXPECT_EQ(&(b.*word.getter)(), &text);
  }
}

TEST(SaoriBaseTest, NewPluginHasAnEmptyRecord) {
  TestPlugin plugin;
  EXPECT_TRUE(plugin.modulePath.empty());
  EXPECT_EQ(plugin.moduleHandle, nullptr);
  EXPECT_EQ(plugin.requestCounter, 0);
}

TEST(SaoriBaseTest, DefaultHooksLeaveTheRecordsAloneAndRefuseInsecureRequests) {
  TestPlugin plugin;
  CSAORIRequest request(&plugin, platform::kCodePageUtf8);
  request.command = u"EXECUTE";
  request.arguments = {u"a"};
  request.options[u"SecurityLevel"] = u"external";
  CSAORIResponse response(&plugin, platform::kCodePageUtf8);
  response.status = 204;
  response.result = u"r";

  CSAORIBase& base = plugin;
  base.OnBeforeExecute(request, response);
  base.OnAfterExecute(request, response);
  EXPECT_FALSE(base.ExecuteInsecure(request, response));

  EXPECT_EQ(request.command, u"EXECUTE");
  EXPECT_EQ(request.arguments, std::vector<WideString>{u"a"});
  EXPECT_EQ(request.options.size(), 1u);
  EXPECT_EQ(response.status, 204);
  EXPECT_EQ(response.result, u"r");
  EXPECT_TRUE(response.values.empty());
  EXPECT_TRUE(response.options.empty());
}

TEST(SaoriBaseTest, ConstructionSetsTheJapaneseLocale) {
  const std::string before = std::setlocale(LC_ALL, nullptr);
  { TestPlugin plugin; }
  // The locale stays set after the plug-in is gone.
  const std::string after = std::setlocale(LC_ALL, nullptr);
#if defined(_WIN32)
  EXPECT_EQ(after.rfind("Japanese", 0), 0u) << after;
#else
  // The Japanese locales need not be installed; if none is, nothing changes.
  if (after != before) {
    EXPECT_EQ(after.rfind("ja_JP", 0), 0u) << after;
  }
#endif
  std::setlocale(LC_ALL, before.c_str());
}

}  // namespace
}  // namespace saori
