#pragma once

// A playlist file's entries as the engine lists them, read on a thread of its own when the list
// is long, so the window goes on answering meanwhile.

#include "player/engine.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace win32 {

// The entries of a list file, each named as the list shows it; ids are the engine's to give.
std::vector<player::Entry> listEntries(const std::string& path);

class ListReader {
public:
    // Starts reading path; done is called on the reader's thread once the first entry is there,
    // and again once all are.
    ListReader(const std::string& path, std::function<void()> done);
    // Drops the read: done is never called once this has returned.
    ~ListReader();
    ListReader(const ListReader&) = delete;
    ListReader& operator=(const ListReader&) = delete;

    // The first entry, read from the head of the file alone; none before, after it was taken, or
    // when the list begins with a list of its own, which is read in its place.
    std::optional<player::Entry> takeFirst();
    // The entries, once all are read; none before.
    std::optional<std::vector<player::Entry>> take();

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};

} // namespace win32
