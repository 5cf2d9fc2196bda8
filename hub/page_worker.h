#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "hub/page_host.h"
#include "pages/page_deck.h"

namespace hub {

// The pages drawn on a thread of their own, so that a command that takes its time to give a
// value never holds up the clients. It sleeps until a value is due or a change comes.
class PageWorker final : public PageHost {
public:
    using Drawn = std::function<void(const std::string& name,
                                     std::shared_ptr<const std::vector<std::uint8_t>> frame)>;
    using Log = std::function<void(const std::string&)>;

    // `hub_values` is read on the page thread, at the hub group's interval.
    PageWorker(std::vector<std::filesystem::path> font_folders, Drawn drawn, Log log,
               std::function<pages::ValueMap()> hub_values);
    ~PageWorker() override;

    void Start();
    void Stop();

    void Replace(const std::string& source, const pages::PageFile& file) override;
    void Drop(const std::string& name) override;
    void Set(const std::string& name, const std::string& text) override;
    void Unset(const std::string& name) override;

private:
    using Task = std::function<void(pages::PageDeck&)>;
    void Post(Task task);
    void Run();

    pages::FontLibrary m_fonts;
    Drawn m_drawn;
    Log m_log;
    pages::PageDeck m_deck;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Task> m_tasks;
    bool m_stopping = false;
    std::thread m_thread;
};

}  // namespace hub
