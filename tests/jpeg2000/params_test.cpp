// The parameter framework, through the clusters that use it.
#include "jpeg2000/params.h"

#include <gtest/gtest.h>

#include <sstream>

#include "jpeg2000/clusters.h"
#include "support.h"

using namespace j2k;
using j2ktest::failure_of;

namespace {

// A code-stream tree for an image of `components` components.
std::unique_ptr<param_tree> tree_for(int components) {
    auto tree = make_codestream_tree();
    tree->root()->put_int("Scomponents", 0, 0, components);
    return tree;
}

} // namespace

TEST(Params, ReadsInheritFromTileThenMainComponentThenMainDefault) {
    auto tree = tree_for(3);
    j2k_params* main = tree->cluster("COD")->head();
    tree->ensure(2, 1);
    tree->ensure(-1, 1);
    j2k_params* tc = main->find_object(2, 1);
    int v = 0;
    EXPECT_FALSE(tc->read_int("Cblk", 0, 0, v));
    main->put_int("Cblk", 0, 0, 64);
    ASSERT_TRUE(tc->read_int("Cblk", 0, 0, v));
    EXPECT_EQ(v, 64);
    main->find_object(-1, 1)->put_int("Cblk", 0, 0, 32);
    tc->read_int("Cblk", 0, 0, v);
    EXPECT_EQ(v, 32);
    main->find_object(2, -1)->put_int("Cblk", 0, 0, 16);
    tc->read_int("Cblk", 0, 0, v);
    EXPECT_EQ(v, 16);
    EXPECT_FALSE(tc->read_int("Cblk", 0, 0, v, false));
}

TEST(Params, RecordExtensionAndGrowth) {
    auto tree = make_siz_tree();
    j2k_params* siz = tree->root();
    siz->put_int("Sprecision", 0, 0, 8);
    int v = 0;
    EXPECT_TRUE(siz->read_int("Sprecision", 5, 0, v));
    EXPECT_EQ(v, 8);
    EXPECT_FALSE(siz->read_int("Sprecision", 5, 0, v, true, false));
    siz->put_int("Sprecision", 3, 0, 12);
    EXPECT_EQ(siz->own_records("Sprecision"), 4);
    EXPECT_FALSE(siz->read_int("Sprecision", 1, 0, v));
    EXPECT_TRUE(siz->read_int("Sprecision", 7, 0, v));
    EXPECT_EQ(v, 12);
}

TEST(Params, PutRefusesWhatTheDeclarationForbids) {
    auto tree = tree_for(3);
    j2k_params* cod = tree->cluster("COD")->head();
    tree->ensure(-1, 0);
    EXPECT_EQ(failure_of([&] { cod->put_int("Cblk", 1, 0, 32); }), "Invalid argument");
    EXPECT_EQ(failure_of([&] { cod->find_object(-1, 0)->put_bool("Cycc", 0, 0, true); }),
              "Invalid argument");
    EXPECT_EQ(failure_of([&] { cod->put_int("Nothing", 0, 0, 1); }), "Invalid argument");
    EXPECT_EQ(failure_of([&] { cod->put_float("Clevels", 0, 0, 1); }), "Invalid argument");
    EXPECT_EQ(failure_of([&] { cod->put_int("Corder", 0, 0, 7); }), "Invalid argument");
    EXPECT_EQ(failure_of([&] { cod->put_int("Cmodes", 0, 0, 64); }),
              "Attempting to set a code-stream attribute field using an integer value which is "
              "incompatible with the flags defined for the field!\nThe attribute name is "
              "\"Cmodes\".");
    EXPECT_EQ(failure_of([&] { cod->put_int("Cmodes", 0, 0, 3); }), "");
}

TEST(Params, ListingFollowsDeclarationOrder) {
    auto tree = tree_for(2);
    j2k_params* cod = tree->cluster("COD")->head();
    cod->put_int("Clevels", 0, 0, 3);
    cod->put_int("Corder", 0, 0, RPCL);
    cod->put_int("Cmodes", 0, 0, 1 | 32);
    cod->put_int("Cprecincts", 0, 0, 128);
    cod->put_int("Cprecincts", 0, 1, 64);
    cod->put_int("Cprecincts", 1, 0, 32);
    cod->put_int("Cprecincts", 1, 1, 32);
    tree->ensure(4, 1);
    cod->find_object(4, 1)->put_bool("Creversible", 0, 0, true);
    std::ostringstream out;
    cod->print_settings(out, false);
    cod->find_object(4, 1)->print_settings(out, false);
    EXPECT_EQ(out.str(),
              "Corder=RPCL\nClevels=3\nCprecincts={128,64},{32,32}\nCmodes=BYPASS,SEGMARK\n"
              "Creversible:T4C1=yes\n");
}

TEST(Params, SegmentsEqualToTheirMarkedReferenceAreNotWritten) {
    auto tree = tree_for(3);
    j2k_params* siz = tree->root();
    siz->put_int("Ssize", 0, 0, 64);
    siz->put_int("Ssize", 0, 1, 64);
    siz->put_int("Sprecision", 0, 0, 8);
    siz->put_bool("Ssigned", 0, 0, false);
    siz->put_int("Ssampling", 0, 0, 1);
    siz->put_int("Ssampling", 0, 1, 1);
    tree->ensure(0, 1);
    tree->ensure(-1, 1);
    siz->complete_all();
    (void)j2ktest::header_bytes(*siz, -1);
    // The tile's objects hold the same values: no COD, QCD or COC in its header.
    EXPECT_TRUE(j2ktest::header_bytes(*siz, 0).empty());
    // A component that differs from its tile default writes a COC.
    tree->cluster("COD")->find(0, 1)->put_int("Clevels", 0, 0, 2);
    tree->cluster("QCD")->find(0, 1)->clear_attribute("Qabs_steps");
    tree->cluster("QCD")->find(0, 1)->complete();
    auto segments = j2ktest::split_segments(j2ktest::header_bytes(*siz, 0));
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_EQ(segments[0].code, 0xFF53);
    EXPECT_EQ(segments[1].code, 0xFF5D);
}
