// The answer of a step that can fail: its value, or the message that says
// why there is none. What to do with the message is the caller's choice.
#pragma once

#include <optional>
#include <string>
#include <utility>

template <typename Value>
class Outcome {
  public:
    Outcome(Value value) : result(std::move(value)) {}

    static Outcome failure(std::string message) { return Outcome(std::move(message), 0); }

    bool ok() const { return result.has_value(); }
    Value& value() { return *result; }
    const Value& value() const { return *result; }
    // Why the step failed; empty when it did not.
    const std::string& error() const { return message; }

  private:
    Outcome(std::string why, int) : message(std::move(why)) {}

    std::optional<Value> result;
    std::string message;
};
