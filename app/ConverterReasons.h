// The common reasons a conversion fails, recognised in ffmpeg's last lines, so that the
// failure list can put a sentence a user understands above the converter's own words.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/Captions.h"

namespace palomix {

enum class ConverterProblem {
    DiskFull,          // "No space left on device", "Disk quota exceeded"
    PermissionDenied,  // "Permission denied"
    EncoderMissing,    // "Unknown encoder 'x'", "Encoder ... not found"
    NoMatchingStream,  // "... matches no streams", "does not contain any stream"
    NoSuchFile,        // "No such file or directory"
    InvalidData,       // "Invalid data found when processing input"
    UnknownColours,    // "no path between colorspaces": a colour conversion of an untagged source
};

struct ConverterReason {
    ConverterProblem problem = ConverterProblem::InvalidData;
    std::string subject;  // EncoderMissing: the encoder's name when the line gives it
};

// The reason the lines show; when several are there, the first of the order above (a full
// disk explains a broken output better than the broken output does). nullopt when none is
// recognised.
std::optional<ConverterReason> RecogniseConverterOutput(const std::vector<std::string>& lines);

// The sentence for a reason, in the window's language.
std::string ConverterReasonWords(const ConverterReason& reason, const RunTexts& texts);

}  // namespace palomix
