#include "app/start_arguments.h"

namespace panel {

namespace {

constexpr std::string_view kPortOption = "--port";

bool IsHelp(std::string_view word) {
    return word == "--help" || word == "-h" || word == "-?" || word == "/?" || word == "--help-all";
}

}  // namespace

StartArguments ParseStartArguments(const std::vector<std::string>& words) {
    StartArguments arguments;
    std::vector<std::string> files;
    bool options_end = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (!options_end && IsHelp(word)) {
            arguments.help = true;
        } else if (options_end || word.size() < 2 || word[0] != '-') {
            files.push_back(word);
        } else if (word == "--") {
            options_end = true;
        } else if (word == kPortOption && i + 1 < words.size()) {
            arguments.port = words[++i];
        } else if (word.starts_with(std::string(kPortOption) + "=")) {
            arguments.port = word.substr(kPortOption.size() + 1);
        } else if (word == kPortOption) {
            arguments.warnings.push_back("lcdpanel: --port needs a NAME (ignored)");
        } else {
            arguments.warnings.push_back(
                std::string("lcdpanel: unknown option ").append(word).append(" (ignored)"));
        }
    }
    if (files.size() > 1) {
        arguments.warnings.push_back(std::string("lcdpanel: only one picture is shown; ")
                                         .append(files[1])
                                         .append(" and the rest are ignored"));
    }
    if (!files.empty())
        arguments.picture = files.front();
    return arguments;
}

}  // namespace panel
