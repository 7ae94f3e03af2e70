#include "standins/phone/json_document.h"

#include <utility>

namespace camvey::phone {

bool ParseJsonDocument(const std::string& text, nlohmann::json* document, std::string* problem) {
  using nlohmann::json;
  // The parser tells each list and object how many enclose it. Once one lies too deep,
  // everything from there on is discarded, so that nothing deep is ever built.
  bool too_deep = false;
  const json::parser_callback_t refuse_deep = [&too_deep](int enclosing, json::parse_event_t event,
                                                          json&) {
    const bool opens =
        event == json::parse_event_t::object_start || event == json::parse_event_t::array_start;
    if (opens && enclosing >= kMaxJsonNesting) too_deep = true;
    return !too_deep;
  };
  json parsed;
  bool is_json = true;
  std::string parse_problem;
  try {
    parsed = json::parse(text, refuse_deep);
  } catch (const json::parse_error& error) {
    is_json = false;
    // The library's description without its own "[json.exception...] " tag.
    parse_problem = error.what();
    const std::size_t tag_end = parse_problem.find("] ");
    if (tag_end != std::string::npos) parse_problem.erase(0, tag_end + 2);
  }
  if (too_deep) {
    *problem = "lists and objects nest deeper than " + std::to_string(kMaxJsonNesting) + " levels";
    return false;
  }
  if (!is_json) {
    *problem = parse_problem;
    return false;
  }
  *document = std::move(parsed);
  return true;
}

}  // namespace camvey::phone
