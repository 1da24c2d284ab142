#pragma once
// Column 0 of a grid whose rows are found by their key text (an identifier
// in eight hexadecimal digits). A look-up finds the first row, from row 0,
// whose text is exactly the key, as a scan of the column would; an index
// beside the texts makes it cheap on a grid of thousands of rows. Hand
// edits of a key cell must be reported with setKey so that the next frame
// with the old identifier adds a new row.
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ktx::can {

class KeyedRows {
public:
    // One row with an empty key cell, as a new grid has.
    KeyedRows() { append({}); }

    int rowCount() const { return static_cast<int>(keys_.size()); }
    const std::string& key(int row) const { return keys_.at(static_cast<size_t>(row)); }
    // The first row holding exactly this text, or -1.
    int find(std::string_view key) const;
    // Adds a row at the bottom; returns its number.
    int append(std::string key);
    // The key cell of row now holds text (a header, a hand edit). Rows out of
    // range are ignored.
    void setKey(int row, std::string text);

private:
    // Texts hash by content; the rows of one text are kept in order.
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    std::vector<std::string> keys_;
    std::unordered_map<std::string, std::set<int>, Hash, std::equal_to<>> rowsByKey_;
};

}  // namespace ktx::can
