// Sorting the rows of either view by a column: the comparison of cell texts and
// the order it gives. Platform-free.
#pragma once

#include <string>
#include <vector>

namespace vellum {
namespace app {

// Two cell texts compared for sorting: numbers (decimal digits, blanks around
// them) by value; a text that is no number before any number; texts without
// regard to case. Negative, 0 or positive.
int CompareCells(const std::string& first, const std::string& second);

// text (UTF-8) with upper-case letters made lower case, for comparing: ASCII,
// Latin-1 and Latin Extended-A, Greek, Cyrillic. Other characters stay.
std::string FoldCase(const std::string& text);

// The order that sorts rows by their keys: order[k] is the index of the row that
// goes to place k. Pinned rows come first, in their present order (the folder
// view's " .." row); rows whose keys compare equal keep their present order, in
// either direction.
std::vector<int> SortOrder(const std::vector<std::string>& keys, const std::vector<bool>& pinned,
                           bool descending);

}  // namespace app
}  // namespace vellum
