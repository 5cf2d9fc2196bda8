#include "pages/value_board.h"

#include <algorithm>
#include <fstream>

#include "pages/builtin_sources.h"
#include "pages/command_runner.h"
#include "pages/value_format.h"

namespace pages {

namespace {

// The source that gives a value: its name's first part, without a core's number, and swap
// with memory, date with time.
std::string OwnerOf(std::string_view name) {
    std::string owner(name.substr(0, name.find('.')));
    const bool core = owner.size() > 3 && owner.starts_with("cpu") &&
                      std::all_of(owner.begin() + 3, owner.end(), [](char c) {
                          return std::isdigit(static_cast<unsigned char>(c));
                      });
    if (core)
        return "cpu";
    if (owner == "swap")
        return "mem";
    if (owner == "date")
        return "time";
    return owner;
}

std::string FirstLine(std::string text) {
    const std::size_t end = text.find_first_of("\r\n");
    return end == std::string::npos ? text : text.substr(0, end);
}

// A file's first line, at most `limit` bytes of it read; only a regular file is opened, since
// a pipe or a device could keep the reader waiting.
std::optional<std::string> ReadFirstLine(const std::filesystem::path& path, std::size_t limit,
                                         std::string& error) {
    std::error_code code;
    if (!std::filesystem::is_regular_file(path, code)) {
        error =
            "cannot read " + path.string() + ": " + (code ? code.message() : "not a regular file");
        return std::nullopt;
    }
    std::ifstream file(path, std::ios::binary);
    std::string text(limit, '\0');
    file.read(text.data(), static_cast<std::streamsize>(limit));
    if (file.bad() || (!file && !file.eof())) {
        error = "cannot read " + path.string();
        return std::nullopt;
    }
    text.resize(static_cast<std::size_t>(file.gcount()));
    return FirstLine(std::move(text));
}

// "temp.cpu": the CPU's sensor under the name its driver gives, so that one page works on
// Intel, AMD and ARM boards alike.
void NameTheCpuTemperature(ValueMap& values) {
    static const char* const kCpuSensors[] = {
        "temp.package_id_0", "temp.tctl",        "temp.tdie",       "temp.x86_pkg_temp",
        "temp.cpu_thermal",  "temp.soc_thermal", "temp.coretemp_1", "temp.k10temp_1"};
    values.erase("temp.cpu");
    for (const char* sensor : kCpuSensors) {
        if (const auto found = values.find(sensor); found != values.end()) {
            values["temp.cpu"] = found->second;
            return;
        }
    }
}

}  // namespace

ValueBoard::ValueBoard(std::filesystem::path system_root, Log log)
    : m_system(std::move(system_root)), m_log(std::move(log)) {}

void ValueBoard::Use(const std::vector<ValueSource>& sources, const std::vector<Page>& pages) {
    m_graphed = GraphedValues(pages);
    m_sources.clear();
    std::set<std::string> owners;
    for (const std::string& name : ShownValues(pages)) {
        owners.insert(OwnerOf(name));
    }
    for (const BuiltinSource& builtin : kBuiltinSources) {
        if (!owners.contains(std::string(builtin.name))) {
            continue;  // nothing shows it: not read at all
        }
        ValueSource declared{
            std::string(builtin.name), pages::BuiltinGroup{}, builtin.interval, {}};
        for (const ValueSource& source : sources) {
            if (source.name == builtin.name)
                declared.interval = source.interval;
        }
        m_sources.push_back(Source{declared, builtin.group});
    }
    for (const ValueSource& source : sources) {
        if (!std::holds_alternative<pages::BuiltinGroup>(source.source)) {
            m_sources.push_back(Source{source, std::nullopt});
        }
    }
    std::erase_if(m_samples, [&](const auto& entry) { return !m_graphed.contains(entry.first); });
}

std::optional<std::string> ValueBoard::Read(Source& source, Clock::time_point now, Moment wall) {
    const std::string& name = source.declared.name;
    if (source.group) {
        const auto error = m_system.Refresh(*source.group, now, m_values);
        if (*source.group == SystemGroup::Temperature) {
            NameTheCpuTemperature(m_values);
        }
        return error;
    }
    if (name == "time") {
        m_values["time"] = wall;
        m_values["date"] = wall;
        return std::nullopt;
    }
    const auto& declared = source.declared.source;
    if (name == "disk" && std::holds_alternative<pages::BuiltinGroup>(declared)) {
        return ReadDiskUse("/", "disk", m_values);
    }
    if (name == "hub" && std::holds_alternative<pages::BuiltinGroup>(declared)) {
        std::erase_if(m_values, [](const auto& entry) { return OwnerOf(entry.first) == "hub"; });
        if (!m_hub_values) {
            return std::string("only a hub has its own values");
        }
        for (auto& [value_name, value] : m_hub_values()) m_values[value_name] = std::move(value);
        return std::nullopt;
    }
    std::erase_if(m_values, [&](const auto& entry) { return OwnerOf(entry.first) == name; });
    if (const auto* disk = std::get_if<DiskSource>(&declared)) {
        return ReadDiskUse(disk->path, name, m_values);
    }
    std::string error;
    if (const auto* file = std::get_if<FileSource>(&declared)) {
        if (const auto line = ReadFirstLine(file->path, kOutputLimit, error)) {
            m_values[name] = *line;
        }
        return error.empty() ? std::nullopt : std::optional(error);
    }
    const auto& exec = std::get<ExecSource>(declared);
    const CommandOutput output = RunCommand(exec.argv, exec.timeout, kOutputLimit);
    if (!output.ok) {
        return exec.argv.front() + ": " + output.error;
    }
    m_values[name] = FirstLine(output.output);
    return std::nullopt;
}

void ValueBoard::Note(Source& source, const std::optional<std::string>& error) {
    if (error && !source.failing) {
        m_log("value " + source.declared.name + ": " + *error);
    } else if (!error && source.failing) {
        m_log("value " + source.declared.name + ": works again");
    }
    source.failing = error.has_value();
}

void ValueBoard::Sample(const std::string& owner) {
    for (const std::string& name : m_graphed) {
        if (OwnerOf(name) != owner) {
            continue;
        }
        const auto found = m_values.find(name);
        const auto number = found != m_values.end() ? NumberOf(found->second) : std::nullopt;
        if (!number) {
            continue;
        }
        std::deque<double>& samples = m_samples[name];
        samples.push_back(*number);
        if (samples.size() > kMostSamples)
            samples.pop_front();
    }
}

ValueBoard::Clock::time_point ValueBoard::Refresh(Clock::time_point now, Moment wall, bool all) {
    Clock::time_point next = Clock::time_point::max();
    for (Source& source : m_sources) {
        if (all || source.due <= now) {
            Note(source, Read(source, now, wall));
            Sample(source.declared.name);
            source.due = now + source.declared.interval;
        }
        next = std::min(next, source.due);
    }
    for (const auto& [name, value] : m_set) {
        m_values[name] = value;
    }
    return next;
}

void ValueBoard::Set(const std::string& name, const std::string& text) {
    m_set[name] = text;
    m_values[name] = text;
    Sample(OwnerOf(name));
}

void ValueBoard::Unset(const std::string& name) {
    m_set.erase(name);
    m_values.erase(name);
}

std::set<std::string> ShownValues(const std::vector<Page>& pages) {
    std::set<std::string> names;
    for (const Page& page : pages) {
        for (const Element& element : page.elements) {
            if (const auto* text = std::get_if<TextElement>(&element)) {
                for (const TextPiece& piece : SplitFields(text->text).pieces) {
                    if (!piece.name.empty())
                        names.insert(piece.name);
                }
            } else if (const auto* bar = std::get_if<BarElement>(&element)) {
                names.insert(bar->value);
            } else if (const auto* graph = std::get_if<GraphElement>(&element)) {
                names.insert(graph->value);
            }
        }
    }
    return names;
}

std::set<std::string> GraphedValues(const std::vector<Page>& pages) {
    std::set<std::string> names;
    for (const Page& page : pages) {
        for (const Element& element : page.elements) {
            if (const auto* graph = std::get_if<GraphElement>(&element))
                names.insert(graph->value);
        }
    }
    return names;
}

}  // namespace pages
