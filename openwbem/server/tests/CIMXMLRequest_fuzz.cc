// Fuzz target of the CIM-XML request path: the first line of the input is
// the CIMMethod header, the rest the HTTP body, served by XMLExecute against
// the test provider and its schema. Whatever the input, the answer is HTTP
// 200 with a well-formed CIM-XML document, or a DSP0200 HTTP error with a
// CIMError header. Its seeds are captured wbemcli requests.
#include "ClassRepository.h"
#include "ProviderDispatcher.h"
#include "fuzz_target.h"

#include "openwbem/CppProviderIFC.h"
#include "openwbem/MOFReader.h"
#include "openwbem/XMLExecute.h"

#include <pugixml.hpp>

#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <string>

using namespace OpenWBEM;

namespace {

struct Target {
  ClassRepository classes;
  std::unique_ptr<ProviderDispatcher> dispatcher;
  XMLExecute executor;

  Target() {
    LoggerRef logger = Logger::createLogger("null", false);
    classes.add(MOFReader::readFile(OWSERVER_TEST_MOF));
    Array<CppProviderBaseIFCRef> providers;
    providers.push_back(CppProviderIFC::loadProvider(TESTPROV_LIBRARY, logger));
    if (!providers[0]) __builtin_trap();
    dispatcher = std::make_unique<ProviderDispatcher>(providers, classes, nullptr, logger, nullptr);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Target target;
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::size_t eol = input.find('\n');
  HTTPRequestData request;
  request.method = "POST";
  request.target = "/cimom";
  request.headers.push_back(
      std::make_pair(String("content-type"), String("application/xml; charset=\"utf-8\"")));
  request.headers.push_back(std::make_pair(String("cimoperation"), String("MethodCall")));
  request.headers.push_back(std::make_pair(String("cimmethod"), String(input.substr(0, eol))));
  request.body = eol == std::string::npos ? std::string() : input.substr(eol + 1);
  HTTPResponseData response;
  target.executor.process(request, *target.dispatcher, response);
  if (response.status == 200) {
    pugi::xml_document doc;
    if (!doc.load_buffer(response.body.data(), response.body.size()) || !doc.child("CIM")) __builtin_trap();
  } else {
    bool cimError = false;
    for (const auto& h : response.headers) cimError = cimError || h.first.equalsIgnoreCase("CIMError");
    if (!cimError || (response.status != 400 && response.status != 501)) __builtin_trap();
  }
  return 0;
}
