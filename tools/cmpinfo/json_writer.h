// A small builder of JSON text: values are appended in order, commas and quoting are
// handled here. Strings are taken as bytes: anything outside printable ASCII is written
// as a \u00XX escape, so the output is always valid JSON whatever the file held.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cmp {

class JsonWriter {
  public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    // The key of the next member; only inside an object.
    JsonWriter& Key(std::string_view key);
    JsonWriter& String(std::string_view value);
    JsonWriter& Number(std::int64_t value);
    // Shortest text that reads back as the same float; "nan", "inf" or "-inf" as strings.
    JsonWriter& Real(float value);
    JsonWriter& Bool(bool value);
    // A value already written as JSON text.
    JsonWriter& Raw(std::string_view json);

    const std::string& Text() const { return text_; }

  private:
    void BeforeValue();
    std::string text_;
    std::vector<bool> hasMembers_;  // one entry per open object or array
    bool afterKey_ = false;
};

// The quoted and escaped form of `value`.
std::string JsonQuote(std::string_view value);

// Shortest decimal text that reads back as the same float ("-0" for negative zero).
std::string FormatReal(float value);

}  // namespace cmp
