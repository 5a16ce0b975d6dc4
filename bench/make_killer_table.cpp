// Writes a table whose lines stand in the order that McIlroy's adversary
// crafts against the literal partition sort (middle pivot, pivot followed by
// its slot, after the "already strictly ascending" check): one GBK line
// "code 工" per value, codes aaaa, aaab, ... in the value's order.
// Usage: make_killer_table LINES > table.txt   (takes O(LINES²) to craft)
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

int main(int argc, char** argv) {
    const long long n = argc > 1 ? std::atoll(argv[1]) : 390000;
    if (n < 2 || n > 26LL * 26 * 26 * 26) {
        std::fprintf(stderr, "usage: make_killer_table LINES (2..456976)\n");
        return 2;
    }
    std::vector<int> value(static_cast<std::size_t>(n), static_cast<int>(n));
    const int gas = static_cast<int>(n);
    int solid = 0, candidate = -1;
    auto cmp = [&](int x, int y) {
        if (value[x] == gas && value[y] == gas) value[x == candidate ? x : y] = solid++;
        if (value[x] == gas)
            candidate = x;
        else if (value[y] == gas)
            candidate = y;
        return value[x] < value[y] ? -1 : (value[x] > value[y] ? 1 : 0);
    };
    std::vector<int> ids(static_cast<std::size_t>(n));
    std::iota(ids.begin(), ids.end(), 0);
    bool ascending = true;
    for (long long i = 1; i < n && ascending; ++i) ascending = cmp(ids[i - 1], ids[i]) < 0;
    auto partition = [&](auto& self, long long L, long long R) -> void {
        long long I, J, P;
        do {
            I = L, J = R, P = (L + R) / 2;
            do {
                while (cmp(ids[I], ids[P]) < 0) ++I;
                while (cmp(ids[J], ids[P]) > 0) --J;
                if (I <= J) {
                    std::swap(ids[I], ids[J]);
                    if (P == I)
                        P = J;
                    else if (P == J)
                        P = I;
                    ++I, --J;
                }
            } while (I <= J);
            if (L < J) self(self, L, J);
            L = I;
        } while (I < R);
    };
    if (!ascending) partition(partition, 0, n - 1);
    std::string out;
    for (long long i = 0; i < n; ++i) {
        int v = value[static_cast<std::size_t>(i)] == gas ? solid++ : value[static_cast<std::size_t>(i)];
        char code[5] = {static_cast<char>('a' + v / 17576), static_cast<char>('a' + v / 676 % 26),
                        static_cast<char>('a' + v / 26 % 26), static_cast<char>('a' + v % 26), 0};
        out += code;
        out += " \xB9\xA4\r\n";  // 工
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
