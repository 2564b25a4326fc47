#include "controllogic/CommaText.h"

#include <utility>

namespace palomix {
namespace {

constexpr char kQuote = '"';
constexpr char kComma = ',';

// Codes 1 to 32: the characters skipped around fields.
bool IsBlank(char c) {
    const auto code = static_cast<unsigned char>(c);
    return code >= 1 && code <= 32;
}

// Ends an unquoted field: a comma or any code of 32 or less (NUL included).
bool EndsUnquotedField(char c) {
    return c == kComma || static_cast<unsigned char>(c) <= 32;
}

class CommaTextScanner {
public:
    explicit CommaTextScanner(std::string_view line) : line_(line.substr(0, line.find('\0'))) {}

    std::vector<std::string> Fields() {
        std::vector<std::string> fields;
        SkipBlanks();
        while (!AtEnd()) {
            fields.push_back(Peek() == kQuote ? QuotedField() : UnquotedField());
            SkipBlanks();
            if (!AtEnd() && Peek() == kComma) {
                ++pos_;
                SkipBlanks();
                if (AtEnd()) {
                    fields.emplace_back();  // a comma at the very end: one more, empty field
                }
            }
        }
        return fields;
    }

private:
    bool AtEnd() const { return pos_ >= line_.size(); }
    char Peek() const { return line_[pos_]; }

    void SkipBlanks() {
        while (!AtEnd() && IsBlank(Peek())) {
            ++pos_;
        }
    }

    // Starts on the opening quote; stops after the closing one (or at the end of the line).
    std::string QuotedField() {
        std::string field;
        ++pos_;
        while (!AtEnd()) {
            const char c = Peek();
            ++pos_;
            if (c != kQuote) {
                field += c;
            } else if (!AtEnd() && Peek() == kQuote) {
                field += kQuote;
                ++pos_;
            } else {
                break;
            }
        }
        return field;
    }

    std::string UnquotedField() {
        const std::size_t start = pos_;
        while (!AtEnd() && !EndsUnquotedField(Peek())) {
            ++pos_;
        }
        return std::string(line_.substr(start, pos_ - start));
    }

    std::string_view line_;
    std::size_t pos_ = 0;
};

}  // namespace

std::vector<std::string> SplitCommaText(std::string_view line) {
    return CommaTextScanner(line).Fields();
}

std::string CommaTextField(std::string_view line, std::size_t index) {
    std::vector<std::string> fields = SplitCommaText(line);
    return index < fields.size() ? std::move(fields[index]) : std::string();
}

}  // namespace palomix
