// The plug-in class chain of the frame: CSAORIBase, and CSAORI with the SAORI/1.0
// protocol words.
//
// The frame reaches a plug-in only through these virtual operations. Owned by the
// module (one instance per process); every operation is called on the host's
// thread. The protocol words are constants created once per process, safe to
// create from several threads at once.
#ifndef TOVARO_SAORI_SAORI_BASE_H_
#define TOVARO_SAORI_SAORI_BASE_H_

#include <cstdint>

#include "platform/module_entry.h"
#include "saori/saori_types.h"

namespace saori {

class CSAORIRequest;
class CSAORIResponse;

class CSAORIBase {
 public:
  // Sets the run-time library's locale to Japanese for the whole process.
  CSAORIBase();
  virtual ~CSAORIBase();
  CSAORIBase(const CSAORIBase&) = delete;
  CSAORIBase& operator=(const CSAORIBase&) = delete;

  // Protocol words: the version of every status line, the marker that ends the
  // command in a request's first line, the argument and value key prefixes and the
  // result key. Each returns the same object on every call.
  virtual const WideString& GetProtocolVersion() const = 0;
  virtual const WideString& GetFirstLineMarker() const = 0;
  virtual const WideString& GetArgumentPrefix() const = 0;
  virtual const WideString& GetValuePrefix() const = 0;
  virtual const WideString& GetResultKey() const = 0;

  // Run around every executed request; the base versions do nothing.
  virtual void OnBeforeExecute(CSAORIRequest& request, CSAORIResponse& response);
  virtual void OnAfterExecute(CSAORIRequest& request, CSAORIResponse& response);
  // Runs a request whose security level is local (or absent).
  virtual void Execute(CSAORIRequest& request, CSAORIResponse& response) = 0;
  // Runs any other request; false refuses it. The base refuses every one.
  virtual bool ExecuteInsecure(CSAORIRequest& request, CSAORIResponse& response);

  virtual bool OnUnload() = 0;
  virtual bool OnLoad() = 0;

  // The plug-in's record, written by the frame: the module directory given to
  // load/loadu, the module's handle, and the request counter (1 to 2147483646
  // once a request has passed).
  WideString modulePath;
  platform::ModuleHandle moduleHandle = nullptr;
  std::int32_t requestCounter = 0;
};

// A SAORI/1.0 plug-in: the base with the protocol words "SAORI/1.0", " SAORI/",
// "Argument", "Value" and "Result".
class CSAORI : public CSAORIBase {
 public:
  const WideString& GetProtocolVersion() const override;
  const WideString& GetFirstLineMarker() const override;
  const WideString& GetArgumentPrefix() const override;
  const WideString& GetValuePrefix() const override;
  const WideString& GetResultKey() const override;
};

}  // namespace saori

#endif  // TOVARO_SAORI_SAORI_BASE_H_
