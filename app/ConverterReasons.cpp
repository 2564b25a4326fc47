#include "app/ConverterReasons.h"

#include <array>
#include <string_view>
#include <utility>

namespace palomix {

namespace {

struct Pattern {
    ConverterProblem problem;
    std::string_view text;
};

// In the order of precedence.
constexpr std::array kPatterns{
    Pattern{ConverterProblem::DiskFull, "No space left on device"},
    Pattern{ConverterProblem::DiskFull, "Disk quota exceeded"},
    Pattern{ConverterProblem::PermissionDenied, "Permission denied"},
    Pattern{ConverterProblem::EncoderMissing, "Unknown encoder"},
    Pattern{ConverterProblem::EncoderMissing, "Encoder not found"},
    Pattern{ConverterProblem::EncoderMissing, ") not found for output stream"},
    Pattern{ConverterProblem::NoMatchingStream, "matches no streams"},
    Pattern{ConverterProblem::NoMatchingStream, "does not contain any stream"},
    Pattern{ConverterProblem::NoSuchFile, "No such file or directory"},
    Pattern{ConverterProblem::InvalidData, "Invalid data found when processing input"},
    Pattern{ConverterProblem::UnknownColours, "no path between colorspaces"},
};

// The name in quotes after "Unknown encoder", if any.
std::string EncoderName(std::string_view line) {
    const std::size_t open = line.find('\'');
    if (open == std::string_view::npos) {
        return {};
    }
    const std::size_t close = line.find('\'', open + 1);
    return close == std::string_view::npos ? std::string()
                                           : std::string(line.substr(open + 1, close - open - 1));
}

}  // namespace

std::optional<ConverterReason> RecogniseConverterOutput(const std::vector<std::string>& lines) {
    for (const Pattern& pattern : kPatterns) {
        for (const std::string& line : lines) {
            if (line.find(pattern.text) == std::string::npos) {
                continue;
            }
            ConverterReason reason{pattern.problem, {}};
            if (pattern.problem == ConverterProblem::EncoderMissing) {
                reason.subject = EncoderName(line);
            }
            return reason;
        }
    }
    return std::nullopt;
}

std::string ConverterReasonWords(const ConverterReason& reason, const RunTexts& texts) {
    switch (reason.problem) {
        case ConverterProblem::DiskFull:
            return std::string(texts.reasonDiskFull);
        case ConverterProblem::PermissionDenied:
            return std::string(texts.reasonPermissionDenied);
        case ConverterProblem::EncoderMissing: {
            std::string text(texts.reasonEncoderMissingFormat);
            const std::string_view field = "{encoder}";
            if (const std::size_t at = text.find(field); at != std::string::npos) {
                text.replace(at, field.size(), reason.subject.empty() ? "?" : reason.subject);
            }
            return text;
        }
        case ConverterProblem::NoMatchingStream:
            return std::string(texts.reasonNoMatchingStream);
        case ConverterProblem::NoSuchFile:
            return std::string(texts.reasonNoSuchFile);
        case ConverterProblem::InvalidData:
            return std::string(texts.reasonInvalidData);
        case ConverterProblem::UnknownColours:
            return std::string(texts.reasonUnknownColours);
    }
    return {};
}

}  // namespace palomix
