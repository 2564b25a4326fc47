// A small, strict JSON reader for the tests of palomix-batch's JSON output, written apart from
// the program's encoder so that the two check each other. A string escape \udcXX (a lone low
// surrogate from DC80 to DCFF) reads back as the byte XX, as the program writes bytes that are
// not UTF-8; other escapes become UTF-8. Anything that is not JSON throws.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/TextCodec.h"

namespace palomix::testing {

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    std::string text;  // a string's bytes, a number's or literal's text
    std::vector<JsonValue> items;
    // An object's members: names[i] names values[i].
    std::vector<std::string> names;
    std::vector<JsonValue> values;

    bool Has(std::string_view key) const {
        for (const std::string& name : names) {
            if (name == key) {
                return true;
            }
        }
        return false;
    }
    const JsonValue& operator[](std::string_view key) const {
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (names[i] == key) {
                return values[i];
            }
        }
        throw std::runtime_error("no member " + std::string(key));
    }
    std::vector<std::string> Strings() const {
        std::vector<std::string> strings;
        for (const JsonValue& item : items) {
            strings.push_back(item.text);
        }
        return strings;
    }
};

class JsonReader {
public:
    // The one value of `text` (blanks around it allowed).
    static JsonValue Parse(std::string_view text) {
        JsonReader reader(text);
        JsonValue value = reader.Value();
        reader.SkipBlanks();
        if (reader.at_ != text.size()) {
            throw std::runtime_error("text after the value");
        }
        return value;
    }

private:
    explicit JsonReader(std::string_view text) : text_(text) {}

    [[noreturn]] void Fail(const std::string& what) const {
        throw std::runtime_error(what + " at " + std::to_string(at_));
    }
    void SkipBlanks() {
        while (at_ < text_.size() && std::string_view(" \t\r\n").find(text_[at_]) != npos) {
            ++at_;
        }
    }
    char Next() {
        if (at_ >= text_.size()) {
            Fail("unexpected end");
        }
        return text_[at_++];
    }
    void Expect(char c) {
        SkipBlanks();
        if (Next() != c) {
            Fail(std::string("expected ") + c);
        }
    }
    bool Take(char c) {
        SkipBlanks();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    JsonValue Value() {
        SkipBlanks();
        JsonValue value;
        const char c = at_ < text_.size() ? text_[at_] : '\0';
        if (c == '"') {
            value.kind = JsonValue::Kind::String;
            value.text = String();
        } else if (c == '[') {
            value.kind = JsonValue::Kind::Array;
            ++at_;
            if (!Take(']')) {
                do {
                    value.items.push_back(Value());
                } while (Take(','));
                Expect(']');
            }
        } else if (c == '{') {
            value.kind = JsonValue::Kind::Object;
            ++at_;
            if (!Take('}')) {
                do {
                    SkipBlanks();
                    std::string key = String();
                    Expect(':');
                    value.names.push_back(std::move(key));
                    value.values.push_back(Value());
                } while (Take(','));
                Expect('}');
            }
        } else {
            const std::size_t end = text_.find_first_of(",]} \t\r\n", at_);
            value.text = std::string(text_.substr(at_, end - at_));
            at_ = end == npos ? text_.size() : end;
            if (value.text == "true" || value.text == "false") {
                value.kind = JsonValue::Kind::Bool;
            } else if (value.text == "null") {
                value.kind = JsonValue::Kind::Null;
            } else if (!value.text.empty() &&
                       value.text.find_first_not_of("-+.eE0123456789") == npos) {
                value.kind = JsonValue::Kind::Number;
            } else {
                Fail("not a value");
            }
        }
        return value;
    }

    std::uint32_t Hex4() {
        std::uint32_t unit = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = Next();
            const std::size_t digit =
                std::string_view("0123456789abcdef")
                    .find(static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c));
            if (digit == npos) {
                Fail("bad \\u escape");
            }
            unit = unit * 16 + static_cast<std::uint32_t>(digit);
        }
        return unit;
    }

    std::string String() {
        if (Next() != '"') {
            Fail("expected a string");
        }
        std::string out;
        for (;;) {
            const char c = Next();
            if (c == '"') {
                return out;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                Fail("control character in a string");
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            const char escape = Next();
            const std::string_view simple = "\"\\/bfnrt";
            const std::string_view meant = "\"\\/\b\f\n\r\t";
            if (const std::size_t i = simple.find(escape); i != npos) {
                out += meant[i];
            } else if (escape == 'u') {
                std::uint32_t unit = Hex4();
                if (unit >= 0xDC80 && unit <= 0xDCFF) {
                    out += static_cast<char>(unit - 0xDC00);  // a byte that is not UTF-8
                    continue;
                }
                if (unit >= 0xD800 && unit <= 0xDBFF) {
                    if (Next() != '\\' || Next() != 'u') {
                        Fail("lone high surrogate");
                    }
                    const std::uint32_t low = Hex4();
                    if (low < 0xDC00 || low > 0xDFFF) {
                        Fail("bad surrogate pair");
                    }
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
                    Fail("lone low surrogate");
                }
                AppendUtf8(out, static_cast<char32_t>(unit));
            } else {
                Fail("bad escape");
            }
        }
    }

    static constexpr std::size_t npos = std::string_view::npos;
    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace palomix::testing
