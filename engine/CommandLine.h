// Turning one command template of a conversion command into the command line that is run for
// the head job: the template is either skipped (tool lines and empty lines) or rewritten by a
// fixed list of 29 text rules, always the same, in the same order.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Drives.h"
#include "platform/PathRules.h"

namespace palomix {

// The values inserted into a template. The caller passes the values current at the moment of
// the call (head job, output folder field, program folder); nothing is cached between calls.
struct CommandValues {
    std::string inputPath;     // full path of the head job
    std::string outputFolder;  // the output folder exactly as shown; no separator added or removed
    std::string appFolder;     // the program's folder, no trailing separator except at a root
    // The name the outputs get in place of the job's BaseName (a numbered or a temporary
    // name); empty: the BaseName.
    std::string outputName = {};
};

// What preparing a line learned besides the line itself.
struct PreparationNotes {
    // The player ("PSP", "WALKMAN") whose placeholder found no attached drive; empty when
    // every placeholder was filled. Such a line names an output without a folder.
    std::string missingPlayer;
    // The folders the line's outputs were put in: the output folder and the players' media
    // folders that placeholders inserted, with the name each got there.
    struct OutputPlace {
        std::string folder;
        std::string name;   // the output name as inserted (made safe for a player's card)
        std::string drive;  // the player's drive; empty for the output folder
    };
    std::vector<OutputPlace> places;
    // The arguments of the line that an output placeholder made, as the line's split gives
    // them (nullopt when the line's values could not be told apart from its text, and only a
    // look at the arguments can say which are outputs). The job's input is never among them,
    // whatever its name and folder.
    std::optional<std::vector<std::string>> outputArguments;
};

// True for a template that is not run: an empty one, or a tool line that contains
// "Platenfold", "Boxwright" or "rm " anywhere. Looks at the template only, never at the job.
bool IsSkippedTemplate(std::string_view commandTemplate);

// The command line to launch, or nullopt when the template is skipped. Each rule acts on the
// first occurrence of its token only; an absent token leaves the line as it is, and empty
// values are inserted as empty texts, so this never fails. The file name BaseName is taken
// from inputPath by the path rules of the style. Side effects: only those of the device
// placeholders (a media folder created on an attached player, see InsertDevicePaths); a
// template without device placeholders touches no drive.
//
// The style decides the separators inserted: Windows joins with '\' and names the converters
// AppFolder\cores\ffmpeg.exe and AppFolder\cores\Cantalib.exe; POSIX joins with '/' and names
// them AppFolder/cores/ffmpeg and AppFolder/cores/Cantalib. The tokens themselves are the
// texts of the settings files and are the same for both styles.
//
// The player placeholders put the name in a form a player's FAT32 card accepts (FatSafeName).
// `notes`, when given, receives what the line's preparation learned (see PreparationNotes).
std::optional<std::string> PrepareCommandLine(std::string_view commandTemplate,
                                              const CommandValues& values, DeviceAccess& devices,
                                              PathStyle style = NativePathStyle(),
                                              PreparationNotes* notes = nullptr);

// A prepared line read as the launcher reads it (platform/CommandLineSplit.h): the program
// its first reading names, and the arguments after it.
struct LineReading {
    std::string program;
    std::vector<std::string> arguments;

    friend bool operator==(const LineReading&, const LineReading&) = default;
};

// A template prepared once for every job: the rules run on it with a mark where each job's
// value goes (they never look into values), so a job only puts its values in. Exactly what
// PrepareCommandLine gives, for the templates it can be made of.
class CompiledTemplate {
public:
    // nullopt for a template that is skipped, or one that must be prepared per job (a player's
    // placeholder, which asks the drives; a template that holds the marks' own bytes).
    static std::optional<CompiledTemplate> Compile(std::string_view commandTemplate,
                                                   PathStyle style);
    CompiledTemplate();
    ~CompiledTemplate();
    CompiledTemplate(CompiledTemplate&&) noexcept;
    CompiledTemplate& operator=(CompiledTemplate&&) noexcept;

    // The line for a job, with what its preparation learned; nullopt when it must be prepared
    // in full instead (a value that is empty). `reading`, when given, receives the line read
    // into its program and arguments where the template's own reading gives it with the
    // values put in (values that cannot change how the line reads), and is left empty where
    // the line must be read itself.
    std::optional<std::string> Prepare(const CommandValues& values, PreparationNotes* notes,
                                       std::optional<LineReading>* reading = nullptr) const;

private:
    struct Rules;
    std::string line_;
    PathStyle style_ = NativePathStyle();
    std::unique_ptr<Rules> rules_;
};

// The player a device marker folder stands for: "PSP" or "WALKMAN".
std::string_view PlayerOfMarker(std::string_view markerFolder);

}  // namespace palomix
