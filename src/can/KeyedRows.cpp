#include "can/KeyedRows.h"

namespace ktx::can {

int KeyedRows::find(std::string_view key) const
{
    const auto it = rowsByKey_.find(key);
    return it == rowsByKey_.end() ? -1 : *it->second.begin();
}

int KeyedRows::append(std::string key)
{
    const int row = rowCount();
    rowsByKey_[key].insert(row);
    keys_.push_back(std::move(key));
    return row;
}

void KeyedRows::setKey(int row, std::string text)
{
    if (row < 0 || row >= rowCount())
        return;
    std::string& current = keys_[static_cast<size_t>(row)];
    if (current == text)
        return;
    if (const auto it = rowsByKey_.find(current); it != rowsByKey_.end()) {
        it->second.erase(row);
        if (it->second.empty())
            rowsByKey_.erase(it);
    }
    rowsByKey_[text].insert(row);
    current = std::move(text);
}

}  // namespace ktx::can
