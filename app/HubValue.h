#pragma once

#include <QtGlobal>

#include <atomic>
#include <mutex>
#include <type_traits>
#include <utility>

// One stored value of the state hub. Worker threads read and write some of these while the GUI
// thread does the same, so every load and store is whole: scalars sit in a lock-free atomic,
// strings and lists behind a lock of their own. storeIfChanged() decides "changed" and stores
// in one step, so two writers never both see the same old value.

namespace HubCompare {

// The hub's change rule: floats and doubles compare with Qt's relative tolerance (1e-5 and
// 1e-12), everything else exactly. A NaN is never equal, so writing one always signals.
inline bool same(float a, float b)
{
    return qFuzzyCompare(a, b);
}
inline bool same(double a, double b)
{
    return qFuzzyCompare(a, b);
}
template<typename T>
bool same(const T &a, const T &b)
{
    return a == b;
}

} // namespace HubCompare

template<typename T, typename Enable = void>
class HubValue
{
public:
    explicit HubValue(T value = T()) : m_value(std::move(value)) {}
    HubValue(const HubValue &) = delete;
    HubValue &operator=(const HubValue &) = delete;

    T load() const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_value;
    }

    void store(T value)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_value.swap(value);
    }

    bool storeIfChanged(T value)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (HubCompare::same(m_value, value))
            return false;
        m_value.swap(value);
        return true;
    }

private:
    mutable std::mutex m_lock;
    T m_value;
};

template<typename T>
class HubValue<T, std::enable_if_t<std::is_trivially_copyable_v<T>>>
{
    static_assert(std::atomic<T>::is_always_lock_free, "hub scalars must be lock-free");

public:
    explicit HubValue(T value = T()) : m_value(value) {}
    HubValue(const HubValue &) = delete;
    HubValue &operator=(const HubValue &) = delete;

    T load() const { return m_value.load(); }
    void store(T value) { m_value.store(value); }
    T exchange(T value) { return m_value.exchange(value); }

    bool storeIfChanged(T value)
    {
        T old = m_value.load();
        do {
            if (HubCompare::same(old, value))
                return false;
        } while (!m_value.compare_exchange_weak(old, value));
        return true;
    }

private:
    std::atomic<T> m_value;
};
