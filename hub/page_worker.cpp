#include "hub/page_worker.h"

#include <utility>

namespace hub {

PageWorker::PageWorker(std::vector<std::filesystem::path> font_folders, Drawn drawn, Log log,
                       std::function<pages::ValueMap()> hub_values)
    : m_fonts(std::move(font_folders)),
      m_drawn(std::move(drawn)),
      m_log(log),
      m_deck("/", m_fonts, log) {
    m_deck.UseHubValues(std::move(hub_values));
}

PageWorker::~PageWorker() {
    Stop();
}

void PageWorker::Start() {
    m_thread = std::thread([this] { Run(); });
}

void PageWorker::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void PageWorker::Post(Task task) {
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_wake.notify_one();
}

void PageWorker::Replace(const std::string& source, const pages::PageFile& file) {
    Post([this, source, file](pages::PageDeck& deck) {
        try {
            deck.Replace(source, file);
        } catch (const std::exception& error) {
            m_log("pages of " + source + " not shown: " + error.what());
        }
    });
}

void PageWorker::Drop(const std::string& name) {
    Post([name](pages::PageDeck& deck) { deck.Drop(name); });
}

void PageWorker::Set(const std::string& name, const std::string& text) {
    Post([name, text](pages::PageDeck& deck) { deck.Set(name, text); });
}

void PageWorker::Unset(const std::string& name) {
    Post([name](pages::PageDeck& deck) { deck.Unset(name); });
}

// Changes first, then the values that are due, then every page drawn; a page goes out only
// when its pixels changed.
void PageWorker::Run() {
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        const auto due = m_deck.NextDue();
        const auto has_work = [this] { return m_stopping || !m_tasks.empty(); };
        if (due) {
            m_wake.wait_until(lock, *due, has_work);
        } else {
            m_wake.wait(lock, has_work);
        }
        if (m_stopping) {
            break;
        }
        std::deque<Task> tasks = std::exchange(m_tasks, {});
        lock.unlock();
        for (Task& task : tasks) {
            task(m_deck);
        }
        for (pages::DrawnPage& page :
             m_deck.Advance(pages::PageDeck::Clock::now(), std::chrono::system_clock::now())) {
            m_drawn(page.name, std::move(page.frame));
        }
        lock.lock();
    }
}

}  // namespace hub
