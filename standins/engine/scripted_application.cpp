#include "standins/engine/scripted_application.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <utility>

#include "messaging/method_result.h"
#include "messaging/standard_method_codec.h"
#include "standins/json_values/json_values.h"

namespace engine_standin {

namespace {

using Json = nlohmann::json;

bool ParseStep(const Json& json, ScriptStep* step, std::string* error) {
  if (!json.is_object()) {
    *error = "a step is not an object";
    return false;
  }
  if (json.contains("wait")) {
    if (!json["wait"].is_number_unsigned()) {
      *error = "\"wait\" is not a number of milliseconds";
      return false;
    }
    step->kind = ScriptStep::Kind::kWait;
    step->milliseconds = json["wait"].get<uint32_t>();
    return true;
  }
  if (!json.contains("call") || !json["call"].is_string() || !json.contains("method") ||
      !json["method"].is_string()) {
    *error = "a step is neither a wait nor a call with a channel and a method";
    return false;
  }
  step->kind = ScriptStep::Kind::kCall;
  step->channel = json["call"].get<std::string>();
  step->method = json["method"].get<std::string>();
  step->has_arguments = json.contains("arguments");
  if (step->has_arguments) {
    step->arguments = camvey::json_values::ToEncodableValue(json["arguments"]);
  }
  return true;
}

std::string Quoted(const std::string& text) {
  return Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
}

template <typename Number>
std::string DescribeNumbers(const std::vector<Number>& numbers) {
  std::string text = "[";
  for (size_t i = 0; i < numbers.size(); ++i) {
    text += i == 0 ? "" : ", ";
    text += Json(numbers[i]).dump();
  }
  return text + "]";
}

// Keeps the one answer that the codec hands over.
class AnswerCapture : public flutter::MethodResult {
 public:
  void Success(const flutter::EncodableValue* result) override {
    line_ = "answer success " + (result != nullptr ? DescribeValue(*result) : "null");
  }
  void Error(const std::string& error_code, const std::string& error_message,
             const flutter::EncodableValue* details) override {
    std::string line = "answer error " + error_code;
    if (!error_message.empty()) {
      line += " " + error_message;
    }
    if (details != nullptr) {
      line += " " + DescribeValue(*details);
    }
    line_ = std::move(line);
  }
  void NotImplemented() override { line_ = "answer not_implemented"; }

  const std::optional<std::string>& line() const { return line_; }

 private:
  std::optional<std::string> line_;
};

}  // namespace

bool ParseScript(const std::string& text, Script* script, std::string* error) {
  const Json json = Json::parse(text, nullptr, false);
  if (json.is_discarded() || !json.is_object()) {
    *error = "not a JSON object";
    return false;
  }
  script->view_creation_fails = json.value("viewController", std::string()) == "fail";
  script->steps.clear();
  if (!json.contains("steps")) {
    return true;
  }
  if (!json["steps"].is_array()) {
    *error = "\"steps\" is not a list";
    return false;
  }
  for (const Json& element : json["steps"]) {
    ScriptStep step;
    if (!ParseStep(element, &step, error)) {
      return false;
    }
    script->steps.push_back(std::move(step));
  }
  return true;
}

std::string DescribeValue(const flutter::EncodableValue& value) {
  struct Describer {
    std::string operator()(std::monostate) const { return "null"; }
    std::string operator()(bool flag) const { return flag ? "true" : "false"; }
    std::string operator()(int32_t number) const { return std::to_string(number); }
    std::string operator()(int64_t number) const { return std::to_string(number); }
    std::string operator()(double number) const { return Json(number).dump(); }
    std::string operator()(const std::string& text) const { return Quoted(text); }
    std::string operator()(const std::vector<uint8_t>& numbers) const {
      return DescribeNumbers(numbers);
    }
    std::string operator()(const std::vector<int32_t>& numbers) const {
      return DescribeNumbers(numbers);
    }
    std::string operator()(const std::vector<int64_t>& numbers) const {
      return DescribeNumbers(numbers);
    }
    std::string operator()(const std::vector<double>& numbers) const {
      return DescribeNumbers(numbers);
    }
    std::string operator()(const std::vector<float>& numbers) const {
      return DescribeNumbers(numbers);
    }
    std::string operator()(const flutter::EncodableList& list) const {
      std::string text = "[";
      for (size_t i = 0; i < list.size(); ++i) {
        text += i == 0 ? "" : ", ";
        text += DescribeValue(list[i]);
      }
      return text + "]";
    }
    std::string operator()(const flutter::EncodableMap& map) const {
      std::string text = "{";
      bool first = true;
      for (const auto& [key, element] : map) {
        text += first ? "" : ", ";
        text += DescribeValue(key);
        text += ": ";
        text += DescribeValue(element);
        first = false;
      }
      return text + "}";
    }
    std::string operator()(const flutter::CustomEncodableValue&) const { return "<custom>"; }
  };
  return std::visit(Describer(), static_cast<const flutter::EncodableVariant&>(value));
}

std::string ArgumentsLine(const std::vector<std::string>& arguments) {
  std::string text = "arguments [";
  for (size_t i = 0; i < arguments.size(); ++i) {
    text += i == 0 ? "" : ", ";
    text += Quoted(arguments[i]);
  }
  return text + "]";
}

std::string CallLine(const ScriptStep& step) {
  std::string line = "call " + step.channel + " " + step.method;
  if (step.has_arguments) {
    line += " " + DescribeValue(step.arguments);
  }
  return line;
}

std::string AnswerLine(const std::vector<uint8_t>& answer) {
  if (answer.empty()) {
    return "answer not_implemented";
  }
  AnswerCapture capture;
  try {
    flutter::StandardMethodCodec::GetInstance().DecodeResponseEnvelope(answer.data(), answer.size(),
                                                                       &capture);
  } catch (const std::exception&) {
    // A malformed error envelope: reported below like any other undecodable answer.
  }
  return capture.line().value_or("answer undecodable");
}

}  // namespace engine_standin
