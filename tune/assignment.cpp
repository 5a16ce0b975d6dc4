// Greedy and exact assignment of rows to columns with capacities.
#include "tune/assignment.h"

#include <algorithm>
#include <limits>
#include <queue>
#include <string>
#include <tuple>

#include "core/failure.h"

namespace zelmora::tune {

Assignment AssignGreedy(const AssignmentProblem& problem) {
    struct Pair {
        std::int64_t gain;
        std::uint32_t row, column;
    };
    std::vector<Pair> pairs;
    for (std::size_t r = 0; r < problem.options.size(); ++r)
        for (const AssignmentOption& o : problem.options[r])
            if (o.gain > 0) pairs.push_back({o.gain, static_cast<std::uint32_t>(r), o.column});
    std::sort(pairs.begin(), pairs.end(), [](const Pair& a, const Pair& b) {
        return std::tie(b.gain, a.row, a.column) < std::tie(a.gain, b.row, b.column);
    });
    Assignment assignment(problem.options.size(), -1);
    std::vector<std::uint32_t> load(problem.capacities.size(), 0);
    for (const Pair& p : pairs) {
        if (assignment[p.row] >= 0 || load[p.column] >= problem.capacities[p.column]) continue;
        assignment[p.row] = static_cast<std::int32_t>(p.column);
        ++load[p.column];
    }
    return assignment;
}

namespace {

// The residual network of the flow source -> rows -> columns -> sink, walked
// without storing it: a row's arcs are its options (cost -gain) and the
// sink (cost 0); a column's are the sink while it has room, and back to each
// row it holds (cost +gain, the row leaving it).
class Flow {
public:
    explicit Flow(const AssignmentProblem& p)
        : p_(p),
          rows_(p.options.size()),
          sink_(rows_ + p.capacities.size()),
          potential_(sink_ + 1, 0),
          distance_(sink_ + 1, 0),
          stamp_(sink_ + 1, 0),
          done_(sink_ + 1, 0),
          parent_(sink_ + 1, 0),
          members_(p.capacities.size()),
          assignment_(rows_, -1) {}

    void add(std::uint32_t row) {
        // Nothing enters a row not yet placed: its potential is free to make
        // its arcs' reduced costs non-negative.
        std::int64_t pi = potential_[sink_];
        for (const AssignmentOption& o : p_.options[row]) pi = std::max(pi, potential_[rows_ + o.column] + o.gain);
        potential_[row] = pi;
        shortestPath(row);
        augment(row);
    }
    const Assignment& assignment() const { return assignment_; }

private:
    std::int64_t gainOf(std::uint32_t row, std::uint32_t column) const {
        for (const AssignmentOption& o : p_.options[row])
            if (o.column == column) return o.gain;
        return 0;
    }

    void shortestPath(std::uint32_t from) {
        ++round_;
        finished_.clear();
        using Item = std::pair<std::int64_t, std::uint32_t>;
        std::priority_queue<Item, std::vector<Item>, std::greater<>> heap;
        auto reach = [&](std::uint32_t u, std::uint32_t v, std::int64_t cost) {
            const std::int64_t d = distance_[u] + cost + potential_[u] - potential_[v];
            if (stamp_[v] != round_ || d < distance_[v]) {
                stamp_[v] = round_;
                distance_[v] = d;
                parent_[v] = u;
                heap.emplace(d, v);
            }
        };
        stamp_[from] = round_;
        distance_[from] = 0;
        heap.emplace(0, from);
        while (!heap.empty()) {
            const auto [d, u] = heap.top();
            heap.pop();
            if (d != distance_[u] || done_[u] == round_) continue;
            done_[u] = round_;
            finished_.push_back(u);
            if (u == sink_) break;
            if (u < rows_) {
                for (const AssignmentOption& o : p_.options[u])
                    if (assignment_[u] != static_cast<std::int32_t>(o.column)) reach(u, rows_ + o.column, -o.gain);
                reach(u, sink_, 0);
            } else {
                const std::uint32_t column = u - rows_;
                if (members_[column].size() < p_.capacities[column]) reach(u, sink_, 0);
                for (std::uint32_t member : members_[column]) reach(u, member, gainOf(member, column));
            }
        }
        const std::int64_t total = distance_[sink_];
        for (std::uint32_t v : finished_) potential_[v] -= total - distance_[v];
    }

    void leave(std::uint32_t row) {
        if (assignment_[row] < 0) return;
        auto& m = members_[static_cast<std::size_t>(assignment_[row])];
        m.erase(std::find(m.begin(), m.end(), row));
        assignment_[row] = -1;
    }

    void augment(std::uint32_t from) {
        std::vector<std::uint32_t> path{sink_};
        while (path.back() != from) path.push_back(parent_[path.back()]);
        std::reverse(path.begin(), path.end());
        for (std::size_t i = 0; i + 1 < path.size(); ++i) {
            const std::uint32_t u = path[i], v = path[i + 1];
            if (u >= rows_) continue;  // a column passing a row on, or taking the flow to the sink
            leave(u);
            if (v != sink_) {
                assignment_[u] = static_cast<std::int32_t>(v - rows_);
                members_[v - rows_].push_back(u);
            }
        }
    }

    const AssignmentProblem& p_;
    std::uint32_t rows_, sink_;
    std::vector<std::int64_t> potential_, distance_;
    std::vector<std::uint32_t> stamp_, done_, parent_;
    std::uint32_t round_ = 0;
    std::vector<std::uint32_t> finished_;
    std::vector<std::vector<std::uint32_t>> members_;
    Assignment assignment_;
};

}  // namespace

Assignment AssignOptimal(const AssignmentProblem& problem) {
    Flow flow(problem);
    for (std::uint32_t r = 0; r < problem.options.size(); ++r)
        if (!problem.options[r].empty()) flow.add(r);
    return flow.assignment();
}

std::int64_t TotalGain(const AssignmentProblem& problem, const Assignment& assignment) {
    std::vector<std::uint32_t> load(problem.capacities.size(), 0);
    std::int64_t total = 0;
    for (std::size_t r = 0; r < assignment.size(); ++r) {
        if (assignment[r] < 0) continue;
        const auto column = static_cast<std::uint32_t>(assignment[r]);
        const auto& options = problem.options[r];
        const auto o = std::find_if(options.begin(), options.end(),
                                    [column](const AssignmentOption& x) { return x.column == column; });
        if (o == options.end()) throw Failure("Row " + std::to_string(r) + " has no option for its column");
        if (++load[column] > problem.capacities[column])
            throw Failure("Column " + std::to_string(column) + " over its capacity");
        total += o->gain;
    }
    return total;
}

}  // namespace zelmora::tune
