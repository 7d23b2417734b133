#include "saori_call/saori_call.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>

#include "common/option_reader.h"
#include "saori_call/answer_reader.h"
#include "module/saori_exports.h"
#include "platform/host_memory.h"
#include "platform/loaded_module.h"
#include "saori_call/charset_conversion.h"
#include "saori_call/delivery_status.h"
#include "tovaro_version.h"

namespace tools::saori_call {
namespace {

constexpr char kUsage[] =
    "usage: saori-call [OPTIONS] MODULE COMMAND [ARG...]\n"
    "       saori-call [OPTIONS] --raw FILE MODULE\n"
    "       saori-call [OPTIONS] --interactive MODULE\n"
    "Loads the SAORI/1.0 module MODULE as a host does, sends it an EXECUTE request\n"
    "with COMMAND as Argument0 and each ARG as the next argument, prints the answer,\n"
    "unloads the module and frees it.\n"
    "Options (before MODULE):\n"
    "  --charset NAME  write the request in NAME: UTF-8 (the default), Shift_JIS,\n"
    "                  EUC-JP or ISO-2022-JP; arguments are given in UTF-8\n"
    "  --raw FILE      send the bytes of FILE unchanged instead of a built request\n"
    "  --repeat N      send each request N times (default 1)\n"
    "  --interactive   one request per line of standard input: the command and its\n"
    "                  arguments separated by tabs (blanks belong to the words, two\n"
    "                  tabs give an empty argument); the module stays loaded until\n"
    "                  the input ends. Each answer ends with an empty line.\n"
    "  --wait SECONDS  before unloading, ask GetStatus until nothing waits and no\n"
    "                  delivery is under way (Result 0, Value1 0), for at most\n"
    "                  SECONDS, so that unloading cuts nothing short; a module that\n"
    "                  does not know GetStatus is asked with a bare EXECUTE until its\n"
    "                  Result is 0\n"
    "  --status        before unloading (after --wait), ask GetStatus and show its\n"
    "                  answer in words: what waits, what was delivered and dropped\n"
    "                  since load, and why the last text was dropped\n"
    "  --load          call load even when the module exports loadu\n"
    "  --help          show this text\n"
    "  --version       show the version\n"
    "Exit status: 0 every answer was 2xx; 1 some answer had another status; 2 bad\n"
    "command line or input; 3 the module can't be opened or lacks an export; 4 an\n"
    "answer was missing or not SAORI/1.0.\n";

constexpr char kName[] = "saori-call: ";

bool ReadCount(const std::string& text, long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  long number = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || number < 1) return false;
  *value = number;
  return true;
}

bool ReadSeconds(const std::string& text, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  double number = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !(number >= 0) || number > 86400) return false;
  *value = number;
  return true;
}

bool ReadFile(const std::string& path, std::string* bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

// The module and its exports, opened for one run.
struct Module {
  platform::LoadedModule library;
  saori_exports::LoadFunction load = nullptr;
  saori_exports::LoadFunction loadu = nullptr;
  saori_exports::RequestFunction request = nullptr;
  saori_exports::UnloadFunction unload = nullptr;
};

ExitCode OpenModule(const std::string& path, Module* module, std::ostream& err) {
  // A bare file name means the file in the current directory, never one found on
  // the system's search path.
  std::string file;
  std::string error;
  if (!platform::AbsolutePath(path, &file, &error) || !module->library.Open(file, &error)) {
    err << kName << "can't load the module '" << path << "': " << error << "\n";
    return kExitModule;
  }
  using namespace saori_exports;
  module->load = reinterpret_cast<LoadFunction>(module->library.Find(kLoad));
  module->loadu = reinterpret_cast<LoadFunction>(module->library.Find(kLoadU));
  module->request = reinterpret_cast<RequestFunction>(module->library.Find(kRequest));
  module->unload = reinterpret_cast<UnloadFunction>(module->library.Find(kUnload));
  std::string missing;
  if (module->load == nullptr && module->loadu == nullptr) missing += " load (or loadu)";
  if (module->request == nullptr) missing += " request";
  if (module->unload == nullptr) missing += " unload";
  if (!missing.empty()) {
    err << kName << "the module '" << path << "' does not export" << missing << "\n";
    return kExitModule;
  }
  return kExitSuccess;
}

// What one request gave back.
struct Exchange {
  bool sent = false;    // false: no memory for the request block
  bool isNull = true;   // the answer block was null
  long length = 0;      // *len after the call
  std::string bytes;
};

Exchange Send(const Module& module, const std::string& request) {
  Exchange exchange;
  void* block = platform::NewHostBlock(request);
  if (block == nullptr) return exchange;
  exchange.sent = true;
  long length = static_cast<long>(request.size());
  void* answer = module.request(block, &length);
  exchange.length = length;
  if (answer == nullptr) return exchange;
  exchange.isNull = false;
  if (length > 0) exchange.bytes.assign(static_cast<const char*>(answer),
                                        static_cast<std::size_t>(length));
  platform::FreeHostBlock(answer);
  return exchange;
}

// The answer as UTF-8: decoded with the charset its Charset line names, else with
// the request's; unchanged when neither decodes it.
std::string AnswerText(const std::string& bytes, const Charset& requestCharset) {
  const Charset* charset = FindCharset(FindAnswerCharset(bytes));
  if (charset == nullptr) charset = &requestCharset;
  std::string text;
  if (ConvertToUtf8(*charset, bytes, &text)) return text;
  return bytes;
}

// Sends one request and reports the answer: the readable form on `out`, a problem
// on `err` too.
ExitCode Call(const Module& module, const std::string& request, const Charset& charset,
              std::ostream& out, std::ostream& err) {
  Exchange exchange = Send(module, request);
  if (!exchange.sent) {
    err << kName << "out of memory for the request block\n";
    out << "error: out of memory\n";
    return kExitUsage;
  }
  if (exchange.isNull) {
    err << kName << "the module returned no answer block (length " << exchange.length
        << ")\n";
    out << "error: no answer\n";
    return kExitNotSaori;
  }
  if (exchange.length < 0) {
    err << kName << "the module answered with the negative length " << exchange.length
        << "\n";
    out << "error: negative answer length\n";
    return kExitNotSaori;
  }
  Answer answer = ParseAnswer(AnswerText(exchange.bytes, charset));
  if (!answer.isSaori) {
    err << kName << "the module's answer is not SAORI/1.0; it begins '"
        << Printable(answer.firstLine) << "'\n";
    out << "error: not a SAORI/1.0 answer: " << Printable(answer.firstLine) << "\n";
    return kExitNotSaori;
  }
  out << FormatAnswer(answer);
  return ExitCodeFor(answer);
}

// The request for COMMAND and ARGs, or false with the reason.
bool MakeRequest(const std::vector<std::string>& words, const Charset& charset,
                 std::string* request, std::string* error) {
  std::vector<std::string> encoded;
  for (const std::string& word : words) {
    std::string bytes;
    if (!ConvertFromUtf8(charset, word, &bytes, error)) {
      *error = "argument '" + Printable(word) + "': " + *error;
      return false;
    }
    encoded.push_back(bytes);
  }
  int bad = FindUnsendableArgument(encoded);
  if (bad >= 0) {
    *error = "argument " + std::to_string(bad) +
             " holds a line break or NUL, which would end its header line";
    return false;
  }
  *request = BuildRequest(charset.name, encoded);
  return true;
}

// The module's answer to `request`, decoded; isSaori is false when there was none.
Answer AskModule(const Module& module, const std::string& request, const Charset& charset) {
  Exchange exchange = Send(module, request);
  if (exchange.isNull || exchange.length < 0) return Answer();
  return ParseAnswer(AnswerText(exchange.bytes, charset));
}

}  // namespace

const char* UsageText() { return kUsage; }

bool ParseOptions(const std::vector<std::string>& arguments, Options* options,
                  std::string* error) {
  *options = Options();
  options->charset = FindCharset("UTF-8");
  std::size_t i = 0;
  for (; i < arguments.size(); ++i) {
    if (arguments[i] == "--") {
      ++i;
      break;
    }
    if (arguments[i].compare(0, 2, "--") != 0) break;
    Option option;
    if (!ReadOption(arguments, &i, {"--charset", "--raw", "--repeat", "--wait"}, &option,
                    error)) {
      return false;
    }
    const std::string& name = option.name;
    const std::string& value = option.value;
    if (name == "--charset") {
      options->charset = FindCharset(value);
      if (options->charset == nullptr) {
        *error = "unknown charset '" + value + "'; known: " + KnownCharsetNames();
        return false;
      }
    } else if (name == "--raw") {
      options->raw = true;
      options->rawFile = value;
    } else if (name == "--repeat") {
      if (!ReadCount(value, &options->repeat)) {
        *error = "--repeat needs a whole number of at least 1, not '" + value + "'";
        return false;
      }
    } else if (name == "--wait") {
      if (!ReadSeconds(value, &options->waitSeconds)) {
        *error = "--wait needs a number of seconds, not '" + value + "'";
        return false;
      }
    } else if (name == "--interactive") {
      options->interactive = true;
    } else if (name == "--status") {
      options->status = true;
    } else if (name == "--load") {
      options->forceLoad = true;
    } else if (name == "--help") {
      options->help = true;
      return true;
    } else if (name == "--version") {
      options->version = true;
      return true;
    } else {
      *error = "unknown option " + name;
      return false;
    }
  }
  if (i >= arguments.size()) {
    *error = "no MODULE given";
    return false;
  }
  options->module = arguments[i++];
  options->words.assign(arguments.begin() + static_cast<std::ptrdiff_t>(i),
                        arguments.end());
  if (options->raw && options->interactive) {
    *error = "--raw and --interactive exclude each other";
    return false;
  }
  if ((options->raw || options->interactive) && !options->words.empty()) {
    *error = std::string(options->raw ? "--raw" : "--interactive") +
             " takes no COMMAND or ARG after MODULE";
    return false;
  }
  if (!options->raw && !options->interactive && options->words.empty()) {
    *error = "no COMMAND given";
    return false;
  }
  return true;
}

int RunSaoriCall(const std::vector<std::string>& arguments, std::istream& in,
                 std::ostream& out, std::ostream& err) {
  Options options;
  std::string error;
  if (!ParseOptions(arguments, &options, &error)) {
    err << kName << error << "\n" << "(saori-call --help shows the usage)\n";
    return kExitUsage;
  }
  if (options.help) {
    out << kUsage;
    return kExitSuccess;
  }
  if (options.version) {
    out << "saori-call " << tovaro::kVersion << "\n";
    return kExitSuccess;
  }
  const Charset& charset = *options.charset;
  // --raw sends its bytes as they are; the charset then only decodes the answer.
  if (!options.raw && !CharsetAvailable(charset, &error)) {
    err << kName << error << "\n";
    return kExitUsage;
  }

  // The request is made before the module is touched, so a bad argument loads
  // nothing.
  std::string request;
  if (options.raw) {
    if (!ReadFile(options.rawFile, &request)) {
      err << kName << "can't read '" << options.rawFile << "'\n";
      return kExitUsage;
    }
  } else if (!options.interactive &&
             !MakeRequest(options.words, charset, &request, &error)) {
    err << kName << error << "\n";
    return kExitUsage;
  }

  Module module;
  ExitCode exitCode = OpenModule(options.module, &module, err);
  if (exitCode != kExitSuccess) return exitCode;

  std::string directory;
  if (!ModuleDirectory(options.module, &directory, &error)) {
    err << kName << "can't tell the directory of '" << options.module << "': " << error
        << "\n";
    return kExitModule;
  }
  bool useLoadu = module.loadu != nullptr && !(options.forceLoad && module.load);
  std::string loadBytes = useLoadu ? directory : DirectoryForLoad(directory);
  void* block = platform::NewHostBlock(loadBytes);
  if (block == nullptr) {
    err << kName << "out of memory for the directory block\n";
    return kExitUsage;
  }
  int loaded = (useLoadu ? module.loadu : module.load)(
      block, static_cast<long>(loadBytes.size()));
  if (loaded == 0) {
    err << kName << "warning: " << (useLoadu ? "loadu" : "load")
        << " returned 0; sending the requests all the same\n";
  }

  const bool separate = options.interactive || options.repeat > 1;
  auto callRepeatedly = [&](const std::string& bytes) {
    for (long n = 0; n < options.repeat; ++n) {
      exitCode = WorseOf(exitCode, Call(module, bytes, charset, out, err));
      if (separate) out << "\n";
      out.flush();
    }
  };
  if (options.interactive) {
    std::string line;
    while (std::getline(in, line)) {
      std::vector<std::string> words = SplitInteractiveLine(line);
      if (words.empty()) continue;
      std::string lineRequest;
      if (!MakeRequest(words, charset, &lineRequest, &error)) {
        out << "error: " << error << "\n\n";
        out.flush();
        exitCode = WorseOf(exitCode, kExitUsage);
        continue;
      }
      callRepeatedly(lineRequest);
    }
  } else {
    callRepeatedly(request);
  }

  const saori_call::Ask ask = [&](const std::string& bytes) {
    return AskModule(module, bytes, charset);
  };
  if (options.waitSeconds > 0) {
    WaitUntilDelivered(ask, charset.name, options.waitSeconds, err);
  }
  if (options.status) {
    const std::string words = DescribeStatus(ask(StatusRequest(charset.name)));
    if (words.empty()) {
      err << kName << "--status: the module does not answer GetStatus\n";
      exitCode = WorseOf(exitCode, kExitStatus);
    } else {
      out << words;
    }
  }
  if (module.unload() == 0) err << kName << "warning: unload returned 0\n";
  module.library.Close();
  return exitCode;
}

}  // namespace tools::saori_call
