#pragma once

#include "ComBase.h"

#include <utility>

namespace component {

// Owns one reference to an interface and releases it when it goes, so that
// every early return and every exception path gives the reference back.
template <typename T> class ComPtr
{
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }

    ComPtr(const ComPtr &) = delete;
    ComPtr &operator=(const ComPtr &) = delete;
    ComPtr(ComPtr &&other) noexcept
        : m_p(std::exchange(other.m_p, nullptr))
    { }
    ComPtr &operator=(ComPtr &&other) noexcept
    {
        if (this != &other) {
            reset();
            m_p = std::exchange(other.m_p, nullptr);
        }
        return *this;
    }

    T *get() const { return m_p; }
    T *operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // For an out parameter that hands over a reference: drops the one held.
    void **put()
    {
        reset();
        return reinterpret_cast<void **>(&m_p);
    }

    void reset()
    {
        if (T *p = std::exchange(m_p, nullptr))
            p->Release();
    }

private:
    T *m_p = nullptr;
};

// Owns one BSTR made from a QString and frees it when it goes.
class BStr
{
public:
    explicit BStr(const QString &text)
        : m_text(bstrFromQString(text))
    { }
    ~BStr() { SysFreeString(m_text); }

    BStr(const BStr &) = delete;
    BStr &operator=(const BStr &) = delete;

    BSTR get() const { return m_text; }

private:
    BSTR m_text;
};

} // namespace component
