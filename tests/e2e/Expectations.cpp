#include "Expectations.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace palomix::e2e {
namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) {
        parts.push_back(part);
    }
    if (!text.empty() && text.back() == separator) {
        parts.emplace_back();
    }
    return parts;
}

void ReplaceAll(std::string& text, const std::string& token, const std::string& value) {
    for (std::size_t at = text.find(token); at != std::string::npos;
         at = text.find(token, at + value.size())) {
        text.replace(at, token.size(), value);
    }
}

}  // namespace

ExpectationsFile LoadExpectations(const std::string& path) {
    ExpectationsFile file;
    std::ifstream in(path);
    if (!in) {
        file.error = "cannot read " + path;
        return file;
    }
    std::map<std::string, std::size_t> columns;
    const char* const required[] = {"settings_file", "item",   "input",    "output",    "codecs",
                                    "width",         "height", "duration", "title_tag", "checks"};
    int lineNumber = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const std::vector<std::string> cells = Split(line, '\t');
        if (columns.empty()) {
            for (std::size_t i = 0; i < cells.size(); ++i) {
                columns[cells[i]] = i;
            }
            for (const char* name : required) {
                if (!columns.contains(name)) {
                    file.error = path + ": no column " + name;
                    return file;
                }
            }
            continue;
        }
        if (cells.size() < columns.size()) {
            file.error = path + ":" + std::to_string(lineNumber) + ": too few columns";
            return file;
        }
        const auto cell = [&](const char* name) -> const std::string& {
            return cells[columns.at(name)];
        };
        const auto optionalInt = [&](const char* name) -> std::optional<int> {
            return cell(name) == "-" ? std::nullopt : std::optional(std::atoi(cell(name).c_str()));
        };
        ExpectedOutput row;
        row.settingsFile = cell("settings_file");
        row.item = std::atoi(cell("item").c_str());
        row.input = cell("input");
        row.output = cell("output");
        row.codecs = Split(cell("codecs"), ',');
        row.width = optionalInt("width");
        row.height = optionalInt("height");
        if (cell("duration") != "-") {
            row.duration = std::strtod(cell("duration").c_str(), nullptr);
        }
        if (cell("title_tag") != "-") {
            row.titleTag = cell("title_tag");
        }
        if (cell("checks") != "-") {
            std::istringstream checks(cell("checks"));
            for (std::string check; checks >> check;) {
                row.checks.push_back(check);
            }
        }
        file.rows.push_back(std::move(row));
    }
    if (columns.empty()) {
        file.error = path + ": no header line";
    }
    return file;
}

std::string ExpandOutput(const std::string& output, const std::string& base, const std::string& psp,
                         const std::string& walkman) {
    std::string path = output;
    ReplaceAll(path, "{base}", base);
    ReplaceAll(path, "{psp}", psp);
    ReplaceAll(path, "{walkman}", walkman);
    return path;
}

}  // namespace palomix::e2e
