#pragma once
#include <memory>
#include <vector>

template <typename T>
class ArrayWrapper {
public:
    ArrayWrapper() = default;
    explicit ArrayWrapper(std::vector<T> items) : items(std::make_shared<const std::vector<T>>(std::move(items))) {}

    int Count() const { return items ? static_cast<int>(items->size()) : 0; }
    // Out-of-range indices give a default (null) element, as the game's arrays do.
    T Get(int index) const
    {
        if (!items || index < 0 || index >= Count()) return T{};
        return (*items)[static_cast<size_t>(index)];
    }
    bool IsNull() const { return !items; }

private:
    std::shared_ptr<const std::vector<T>> items;
};
