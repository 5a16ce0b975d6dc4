#pragma once
// Rows (words) given at most one column each (a group of equal slots, with a
// capacity), maximising the total gain: greedily, or exactly by successive
// shortest paths on the min-cost flow of the assignment. No Qt.
#include <cstdint>
#include <vector>

namespace zelmora::tune {

struct AssignmentOption {
    std::uint32_t column = 0;
    std::int64_t gain = 0;  // positive; an option of no gain is left out
};

struct AssignmentProblem {
    std::vector<std::uint32_t> capacities;               // per column
    std::vector<std::vector<AssignmentOption>> options;  // per row, at most one per column
};

// Each row's column, or -1.
using Assignment = std::vector<std::int32_t>;

// The largest gain first (ties: the row, then the column, of lower index),
// while the row has no column and the column has room.
Assignment AssignGreedy(const AssignmentProblem& problem);
// An assignment of the largest total gain. Rows are added one at a time, each
// by a shortest path (Dijkstra on costs reduced by node potentials) from the
// row to the sink, through columns and the rows they hold; a row may always
// go to the sink directly (no column, cost 0), so every row is placed and the
// flow after each row is one of least cost for the rows so far.
Assignment AssignOptimal(const AssignmentProblem& problem);
// The total gain of an assignment; fails (Failure) when it puts a row on a
// column it has no option for, or a column over its capacity.
std::int64_t TotalGain(const AssignmentProblem& problem, const Assignment& assignment);

}  // namespace zelmora::tune
