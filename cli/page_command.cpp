#include <chrono>
#include <thread>

#include "cli/commands.h"
#include "cli/hub_route.h"
#include "imaging/picture_file.h"
#include "pages/page_drawing.h"
#include "pages/picture_cache.h"
#include "pages/value_board.h"

namespace cli {

namespace {

// Rates and percentages are differences, so the values are read twice this far apart.
constexpr auto kSecondReading = std::chrono::milliseconds(500);

// "out.png" for one page; "out-NAME.png" for each of several.
std::string PreviewPath(const std::string& target, const std::string& page, bool several) {
    if (!several) {
        return target;
    }
    const std::filesystem::path path(target);
    return (path.parent_path() / (path.stem().string() + "-" + page + path.extension().string()))
        .string();
}

void ReadValuesTwice(pages::ValueBoard& values) {
    using Clock = pages::ValueBoard::Clock;
    values.Refresh(Clock::now(), std::chrono::system_clock::now(), true);
    std::this_thread::sleep_for(kSecondReading);
    values.Refresh(Clock::now(), std::chrono::system_clock::now(), true);
}

}  // namespace

int RunPagePreview(const Options& options, ConsoleLog& log) {
    auto read = pages::ReadPageFile(options.input, pages::Trust::Own);
    if (const std::string* error = std::get_if<std::string>(&read)) {
        PrintError(log, *error);
        return kBadInput;
    }
    const pages::PageFile& file = std::get<pages::PageFile>(read);
    const auto note = [&log](const std::string& line) { log.LogLine(line); };
    pages::ValueBoard values("/", note);
    values.Use(file.values, file.pages);
    for (const auto& [name, value] : options.page_values) {
        values.Set(name, value);
    }
    ReadValuesTwice(values);
    pages::PictureCache pictures(note);
    pages::FontLibrary fonts(pages::FontLibrary::SystemFolders());
    pages::DrawInputs inputs{
        values.Values(), values.Samples(), fonts,
        [&pictures](const pages::PictureElement& e) { return pictures.Get(e); }};
    for (const pages::Page& page : file.pages) {
        const std::string target = PreviewPath(options.preview, page.name, file.pages.size() > 1);
        std::vector<std::uint8_t> frame;
        try {
            frame = pages::DrawPage(page, inputs).Frame();
        } catch (const std::runtime_error& error) {  // a font that cannot be had
            PrintError(log, options.input + ": page " + page.name + ": " + error.what());
            return kBadInput;
        }
        if (const auto failure = WritePreview(frame, target)) {
            PrintError(log, "cannot write preview '" + target + "'" +
                                (failure->empty() ? "" : ": " + *failure));
            return kBadInput;
        }
        log.LogLine("page " + page.name + ": " + target);
    }
    return kDone;
}

int RunPageSend(const Options& options, ConsoleLog& log) {
    const pages::PagesToSend pages = pages::PreparePagesToSend(options.input);
    if (!pages.error.empty()) {
        PrintError(log, pages.error);
        return kBadInput;
    }
    const std::vector<std::uint8_t> bytes(pages.text.begin(), pages.text.end());
    return RunThroughHub(options, log, options.hub, &bytes);
}

}  // namespace cli
