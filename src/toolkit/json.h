// The one JSON writer of the program: every /json document is built with it, so all share
// one key style (camelCase), one escaping and one number format. Pure.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tk {

// A JSON string literal, quotes included: control characters and lone surrogates escaped, so
// the document stays valid whatever the text holds.
std::wstring jsonString(std::wstring_view text);

// Builds one document on one line: values are separated by commas as they are added.
//     Json j; j.open('{').key(L"name").string(L"x").key(L"n").number(2).close('}');
class Json {
  public:
    Json& open(wchar_t bracket); // '{' or '['
    Json& close(wchar_t bracket);
    Json& key(std::wstring_view name);
    Json& string(std::wstring_view text);
    Json& number(long long value);
    // A figure with `decimals` places, rounded as tk::fixed rounds.
    Json& number(double value, int decimals);
    Json& boolean(bool value);
    Json& null();
    // An array of strings.
    Json& strings(const std::vector<std::wstring>& items);
    const std::wstring& text() const { return out_; }

  private:
    void separate();
    std::wstring out_;
    bool needsComma_ = false;
};

} // namespace tk
