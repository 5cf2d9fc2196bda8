#pragma once

#include <string>

#include "pages/page_file.h"

namespace hub {

// What draws the pages the hub shows, on a thread of its own: the hub's own files and what
// clients sent. Their frames come back through HubCore::PageDrawn.
class PageHost {
public:
    virtual ~PageHost() = default;
    // The pages of a source replace those it gave before and any of the same names.
    virtual void Replace(const std::string& source, const pages::PageFile& file) = 0;
    // A page whose screen went away.
    virtual void Drop(const std::string& name) = 0;
    virtual void Set(const std::string& name, const std::string& text) = 0;
    virtual void Unset(const std::string& name) = 0;
};

}  // namespace hub
