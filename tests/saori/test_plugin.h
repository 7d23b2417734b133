// A plug-in that does nothing, for tests that need an owner for a request or a
// response record but no command behind it.
#ifndef TOVARO_TESTS_SAORI_TEST_PLUGIN_H_
#define TOVARO_TESTS_SAORI_TEST_PLUGIN_H_

#include "saori/saori_base.h"
#include "saori/saori_request.h"
#include "saori/saori_response.h"

namespace saori {

class TestPlugin : public CSAORI {
 public:
  void Execute(CSAORIRequest&, CSAORIResponse&) override {}
  bool OnUnload() override { return true; }
  bool OnLoad() override { return true; }
};

}  // namespace saori

#endif  // TOVARO_TESTS_SAORI_TEST_PLUGIN_H_
