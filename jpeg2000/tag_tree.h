// Tag trees (T.800 B.10.2): a quad-tree over a grid of leaves, each node
// holding the least value below it, coded so that a reader learns, one
// threshold at a time, whether a leaf's value is below it. The packet
// reader decodes them; the packet writer, which knows the leaves' values up
// front, encodes them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace j2k {

class tag_tree {
public:
    // h x w leaves, every value unknown (reading) or at its largest.
    void init(int64_t h, int64_t w) {
        nodes_.clear();
        std::vector<std::pair<int64_t, int64_t>> levels;
        do {
            levels.emplace_back(h, w);
            h = (h + 1) / 2;
            w = (w + 1) / 2;
        } while (levels.back().first * levels.back().second > 1);
        int64_t total = 0;
        for (auto& l : levels)
            total += l.first * l.second;
        nodes_.resize(static_cast<size_t>(total));
        int64_t offset = 0;
        for (size_t k = 0; k < levels.size(); ++k) {
            const auto [lh, lw] = levels[k];
            const int64_t next = offset + lh * lw;
            for (int64_t y = 0; y < lh; ++y)
                for (int64_t x = 0; x < lw; ++x)
                    nodes_[offset + y * lw + x].parent =
                        k + 1 < levels.size() ? next + (y / 2) * levels[k + 1].second + x / 2 : -1;
            offset = next;
        }
    }

    // Bytes its nodes take.
    int64_t bytes() const { return static_cast<int64_t>(nodes_.capacity() * sizeof(node)); }

    // Writing: the leaves' values in raster order; every node gets the least
    // value below it and the coding starts afresh.
    void set_values(const std::vector<int>& leaves) {
        for (node& nd : nodes_) {
            nd.value = 0x7FFFFFFF;
            nd.low = 0;
            nd.known = false;
        }
        for (size_t i = 0; i < leaves.size(); ++i)
            nodes_[i].value = leaves[i];
        // Parents come after their children.
        for (node& nd : nodes_)
            if (nd.parent >= 0)
                nodes_[nd.parent].value = std::min(nodes_[nd.parent].value, nd.value);
    }

    // Reading: whether the leaf's value is below the threshold, reading the
    // bits (reader.bit()) that are needed.
    template <typename Reader>
    bool decode(Reader& br, int64_t leaf, int threshold) {
        int64_t path[64];
        int n = path_of(leaf, path);
        int low = 0;
        while (n--) {
            node& nd = nodes_[path[n]];
            if (low > nd.low)
                nd.low = low;
            else
                low = nd.low;
            while (low < threshold && low < nd.value) {
                if (br.bit())
                    nd.value = low;
                else
                    ++low;
            }
            nd.low = low;
        }
        return nodes_[leaf].value < threshold;
    }

    // Writing: the bits (writer.put_bit()) that tell whether the leaf's value
    // is below the threshold.
    template <typename Writer>
    void encode(Writer& w, int64_t leaf, int threshold) {
        int64_t path[64];
        int n = path_of(leaf, path);
        int low = 0;
        while (n--) {
            node& nd = nodes_[path[n]];
            if (low > nd.low)
                nd.low = low;
            else
                low = nd.low;
            while (low < threshold) {
                if (low >= nd.value) {
                    if (!nd.known) {
                        w.put_bit(1);
                        nd.known = true;
                    }
                    break;
                }
                w.put_bit(0);
                ++low;
            }
            nd.low = low;
        }
    }

    int value(int64_t leaf) const { return nodes_[leaf].value; }

private:
    struct node {
        int value = 0x7FFFFFFF, low = 0;
        bool known = false;
        int64_t parent = -1;
    };
    int path_of(int64_t leaf, int64_t* path) const {
        int n = 0;
        for (int64_t i = leaf; i >= 0 && n < 64; i = nodes_[i].parent)
            path[n++] = i;
        return n;
    }
    std::vector<node> nodes_;
};

} // namespace j2k
