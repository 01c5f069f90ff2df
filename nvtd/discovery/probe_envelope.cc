// The envelope walk: expat reports each element as "namespace\nlocal name"; the walk follows
// Envelope, Header?, Body, Probe and stops the parser at the first thing out of place.
#include "nvtd/discovery/probe_envelope.h"

#include <expat.h>

#include <memory>

namespace nvtd {
namespace {

constexpr char kSeparator = '\n';

struct Walk {
  XML_Parser parser = nullptr;
  int depth = 0;             // elements open around the current point
  std::string_view soap;     // the envelope's namespace
  bool header_seen = false;  // at depth 1
  bool body_seen = false;
  bool in_body = false;
  bool probe_seen = false;  // the Body's one element
  bool refused = false;
};

bool named(std::string_view name, std::string_view space, std::string_view local) {
  return name.size() == space.size() + 1 + local.size() && name.substr(0, space.size()) == space &&
         name[space.size()] == kSeparator && name.substr(space.size() + 1) == local;
}

void refuse(Walk& walk) {
  walk.refused = true;
  XML_StopParser(walk.parser, XML_FALSE);
}

// Whether the element named name may open at the walk's depth; notes what it is.
bool fits(Walk& walk, std::string_view name) {
  if (walk.depth == 0) {
    for (std::string_view space : {kSoap12Namespace, kSoap11Namespace}) {
      if (named(name, space, "Envelope")) walk.soap = space;
    }
    return !walk.soap.empty();
  }
  if (walk.depth == 1) {
    if (walk.body_seen) return false;  // nothing follows the Body
    if (!walk.header_seen && named(name, walk.soap, "Header")) {
      walk.header_seen = true;
      return true;
    }
    walk.body_seen = walk.in_body = named(name, walk.soap, "Body");
    return walk.body_seen;
  }
  if (walk.depth == 2 && walk.in_body) {
    if (walk.probe_seen) return false;  // one element only
    walk.probe_seen =
        named(name, kDiscoveryNamespace, "Probe") || named(name, kDiscovery11Namespace, "Probe");
    return walk.probe_seen;
  }
  return true;  // inside the Header or the Probe: anything
}

void XMLCALL on_start_element(void* data, const XML_Char* name, const XML_Char** /*attributes*/) {
  Walk& walk = *static_cast<Walk*>(data);
  if (!fits(walk, name)) return refuse(walk);
  ++walk.depth;
}

void XMLCALL on_end_element(void* data, const XML_Char* /*name*/) {
  Walk& walk = *static_cast<Walk*>(data);
  if (--walk.depth == 1) walk.in_body = false;
}

// Between the Envelope's and the Body's elements only blanks.
void XMLCALL on_text(void* data, const XML_Char* text, int length) {
  Walk& walk = *static_cast<Walk*>(data);
  if (walk.depth != 1 && !(walk.depth == 2 && walk.in_body)) return;
  for (char c : std::string_view(text, size_t(length))) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return refuse(walk);
  }
}

// A document type (entities, external subsets) or a processing instruction: not SOAP.
void XMLCALL on_doctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  refuse(*static_cast<Walk*>(data));
}
void XMLCALL on_instruction(void* data, const XML_Char*, const XML_Char*) {
  refuse(*static_cast<Walk*>(data));
}

}  // namespace

bool is_probe_envelope(std::string_view text) {
  std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(
      XML_ParserCreateNS(nullptr, kSeparator), XML_ParserFree);
  if (!parser || text.size() > size_t(1) << 20) return false;
  Walk walk;
  walk.parser = parser.get();
  XML_SetUserData(parser.get(), &walk);
  XML_SetElementHandler(parser.get(), on_start_element, on_end_element);
  XML_SetCharacterDataHandler(parser.get(), on_text);
  XML_SetStartDoctypeDeclHandler(parser.get(), on_doctype);
  XML_SetProcessingInstructionHandler(parser.get(), on_instruction);
  bool parsed = XML_Parse(parser.get(), text.data(), int(text.size()), XML_TRUE) == XML_STATUS_OK;
  return parsed && !walk.refused && walk.probe_seen;
}

}  // namespace nvtd
