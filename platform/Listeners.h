#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace tvrn2 {

// News that several parts may listen to: each adds its listener and removes
// it, by the number add() gave, before it goes. A listener may add or remove
// listeners while it is called; one removed then is not called any more.
template <class Signature> class Listeners;

template <class... Args> class Listeners<void(Args...)> {
public:
    using Listener = std::function<void(Args...)>;
    using Id = std::uint64_t;

    Id add(Listener listener)
    {
        m_list.emplace_back(++m_last, std::move(listener));
        return m_last;
    }
    void remove(Id id)
    {
        std::erase_if(m_list, [id](const auto& entry) { return entry.first == id; });
    }
    bool empty() const { return m_list.empty(); }

    void operator()(Args... args) const
    {
        std::vector<Id> ids;
        ids.reserve(m_list.size());
        for (const auto& entry : m_list)
            ids.push_back(entry.first);
        for (Id id : ids) {
            auto found = std::find_if(
                m_list.begin(), m_list.end(), [id](const auto& entry) { return entry.first == id; });
            if (found == m_list.end())
                continue;
            Listener listener = found->second; // it may remove itself
            listener(args...);
        }
    }

private:
    std::vector<std::pair<Id, Listener>> m_list;
    Id m_last { 0 };
};

} // namespace tvrn2
