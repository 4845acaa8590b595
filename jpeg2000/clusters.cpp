#include "jpeg2000/clusters.h"

namespace j2k {

std::unique_ptr<param_tree> make_siz_tree() {
    auto tree = std::make_unique<param_tree>();
    tree->add_cluster(std::make_unique<siz_params>());
    return tree;
}

std::unique_ptr<param_tree> make_codestream_tree() {
    auto tree = make_siz_tree();
    tree->add_cluster(std::make_unique<cod_params>());
    tree->add_cluster(std::make_unique<qcd_params>());
    tree->add_cluster(std::make_unique<rgn_params>());
    tree->add_cluster(std::make_unique<poc_params>());
    tree->add_cluster(std::make_unique<crg_params>());
    return tree;
}

} // namespace j2k
