#ifndef CAMVEY_STANDINS_ENGINE_SCRIPTED_APPLICATION_H_
#define CAMVEY_STANDINS_ENGINE_SCRIPTED_APPLICATION_H_

// The application that the stand-in runs where a real engine would run the compiled
// one: a script read from the assets folder, and the transcript lines it prints.
// The script format is described in this folder's README.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "messaging/encodable_value.h"

namespace engine_standin {

// The script's file name inside the engine's assets folder.
inline constexpr char16_t kScriptFileName[] = u"application_script.json";

struct ScriptStep {
  enum class Kind { kCall, kWait };
  Kind kind = Kind::kCall;
  // kCall: the method call to send and wait for.
  std::string channel;
  std::string method;
  bool has_arguments = false;
  flutter::EncodableValue arguments;
  // kWait: how long to wait before the next step.
  uint32_t milliseconds = 0;
};

struct Script {
  std::vector<ScriptStep> steps;
  // The engine refuses to make its view, as a broken installation would.
  bool view_creation_fails = false;
};

// Reads a script. False, with a one-line reason in `*error`, for text that is not a
// script; `*script` is then unspecified.
bool ParseScript(const std::string& text, Script* script, std::string* error);

// Transcript text of a value, in JSON notation (typed lists as JSON arrays).
std::string DescribeValue(const flutter::EncodableValue& value);

// The transcript's lines.
std::string ArgumentsLine(const std::vector<std::string>& arguments);
std::string CallLine(const ScriptStep& step);
// The line for an answer in the standard method format: "answer success <value>",
// "answer error <code> <message> [<details>]", "answer not_implemented" for an empty
// answer, or "answer undecodable" for anything else.
std::string AnswerLine(const std::vector<uint8_t>& answer);

}  // namespace engine_standin

#endif  // CAMVEY_STANDINS_ENGINE_SCRIPTED_APPLICATION_H_
