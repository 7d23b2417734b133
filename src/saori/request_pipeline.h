// The one path from a request block to an answer block.
#ifndef TOVARO_SAORI_REQUEST_PIPELINE_H_
#define TOVARO_SAORI_REQUEST_PIPELINE_H_

#include "saori/saori_types.h"

namespace saori {

class CSAORIBase;

// Advances the plug-in's request counter, detects the charset, decodes and parses
// the request, runs the plug-in's hooks (Execute or ExecuteInsecure by the security
// level), applies the NOTIFY rule and returns the answer encoded in the request's
// code page. Every outcome is a status inside the answer. Exceptions (exhausted
// memory, a failing hook) leave it after its records are released; the caller
// turns them into the failure answer. Host thread only.
ByteString ProcessRequest(CSAORIBase& plugin, const ByteString& requestBytes);

}  // namespace saori

#endif  // TOVARO_SAORI_REQUEST_PIPELINE_H_
