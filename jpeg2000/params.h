// The parameter framework: every coding parameter of a code-stream is a named
// attribute of a parameter object. An object belongs to one cluster (the
// parameters of one kind of marker segment: SIZ, COD, QCD, RGN, POC, CRG) and,
// within it, to one tile (-1: the main header), one component (-1: all) and
// one instance. Reads fall back from (tile, component) to (tile, all), then to
// the main header's (component) and (all) objects.
//
// The objects of a code-stream form one param_tree. Only the main header's
// objects for all components exist from the start; the objects of a tile, or
// of one component, are made when a header carries a segment for them or a
// writer asks for them (param_tree::ensure). A hostile SIZ claiming 65535
// tiles and 16384 components therefore costs nothing until segments arrive.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace j2k {

class codestream_output_buffer;
class param_tree;
class param_cluster;

enum attribute_flags : int {
    multi_records = 1,      // more than one record may be set
    extend_last = 2,        // a read past the last record reads the last one
    all_components_only = 4 // may be set only on component -1 objects
};

// One field of an attribute's record, parsed from the attribute's pattern.
struct field_desc {
    char type = 'I'; // 'I' integer, 'B' boolean, 'F' float
    bool is_flags = false;
    std::vector<std::pair<std::string, int>> options; // enumeration or flags
};

// Parses a pattern such as "II" or "(LRCP=0,RLCP=1)"; a malformed pattern is
// a programming error and throws std::logic_error.
std::vector<field_desc> parse_pattern(const char* pattern);

struct attribute_desc {
    attribute_desc(const char* n, const char* p, int f)
        : name(n), pattern(p), flags(f), fields(parse_pattern(p)) {}
    const char* name;
    const char* pattern;
    int flags;
    std::vector<field_desc> fields;
};

// A cluster's attributes in declaration order (listings follow it).
using attribute_table = std::vector<attribute_desc>;

// Reads one option "name=value" of an enumeration or flag pattern from pos,
// which is left after the value; "String parse error" on bad text.
void parse_setting(const char*& pos, char separator, std::string& name, int& value);

class j2k_params {
public:
    j2k_params(const char* cluster_name, const attribute_table& table, bool allow_tiles,
               bool allow_components, bool allow_instances);
    virtual ~j2k_params() = default;
    j2k_params(const j2k_params&) = delete;
    j2k_params& operator=(const j2k_params&) = delete;

    const char* cluster_name() const { return name_; }
    int tile() const { return tile_; }
    int component() const { return component_; }
    int instance() const { return instance_; }
    bool allows_tiles() const { return allow_tiles_; }
    bool allows_components() const { return allow_components_; }
    bool allows_instances() const { return allow_instances_; }
    bool is_empty() const { return empty_; }
    bool is_marked() const { return marked_; }
    void set_marked(bool m) { marked_ = m; }
    param_tree& tree() const { return *tree_; }

    void put_int(const char* name, int record, int field, int value);
    void put_bool(const char* name, int record, int field, bool value);
    void put_float(const char* name, int record, int field, float value);
    bool read_int(const char* name, int record, int field, int& value, bool inherit = true,
                  bool extend = true, bool derived = true) const;
    bool read_bool(const char* name, int record, int field, bool& value, bool inherit = true,
                   bool extend = true, bool derived = true) const;
    bool read_float(const char* name, int record, int field, float& value, bool inherit = true,
                    bool extend = true, bool derived = true) const;
    void set_derived(const char* name);
    // Empties the attribute of this object alone.
    void clear_own(const char* name);
    bool is_derived(const char* name) const;
    void clear_attribute(const char* name);
    // Records in use of the object's own attribute (no inheritance); with
    // skip_derived, a derived attribute counts 0.
    int own_records(const char* name, bool skip_derived = false) const;

    // The tree: objects of the same tree by cluster, tile, component, instance.
    j2k_params* find_cluster(const char* name) const;
    j2k_params* cluster_at(int n) const;
    j2k_params* find_object(int tile, int component, int instance = 0) const;

    void complete_all();
    void copy_all_from(const j2k_params& source, int first_component, int discard_levels,
                       bool transpose, bool vflip, bool hflip, int source_tile = -1,
                       int dest_tile = -1);
    int count_marker_bytes(codestream_output_buffer* out, int tile, int tile_part);
    bool dispatch_marker_segment(int code, int length, const uint8_t* bytes, int tile,
                                 int tile_part);
    void print_settings(std::ostream& out, bool skip_derived) const;
    void print_tile_settings(std::ostream& out, int first_tile, int last_tile,
                             bool skip_derived) const;

    // The cluster's operations.
    virtual j2k_params* add_instance() { return nullptr; }
    virtual void copy_transformed(const j2k_params& source, int first_component, int discard_levels,
                                  bool transpose, bool vflip, bool hflip);
    // Length of the segment, marker included; 0 when nothing is written. With
    // no output only counts.
    virtual int emit_marker_segment(codestream_output_buffer* out, const j2k_params* reference,
                                    int tile_part);
    // bytes: the segment after its length field.
    virtual bool absorb_marker_segment(int code, int length, const uint8_t* bytes, int tile_part);
    virtual void complete() {}
    // Which component's object a segment of this code is for: -1 the object
    // for all components, a component index, or -2 when the cluster does not
    // read the code.
    virtual int segment_component(int code, int length, const uint8_t* bytes) const;
    virtual std::unique_ptr<j2k_params> make_new() const = 0;

protected:
    // Component indices in segments take 2 bytes above 256 components.
    int component_count() const;
    // Links a further instance of this object's (tile, component).
    j2k_params* create_next_instance();
    // The main header object of this cluster for the same component, or the
    // same tile's object: handy for completion.
    const j2k_params* siz() const;

private:
    friend class param_tree;
    friend class param_cluster;
    struct value {
        int32_t i = 0;
        float f = 0;
        bool set = false;
    };
    struct attribute_state {
        int records = 0;
        int allocated = 1;
        bool derived = false;
        std::vector<value> values;
    };
    int find_attribute(const char* name) const;
    void put_value(const char* name, int record, int field, char type, int32_t i, float f);
    const value* read_value(const char* name, int record, int field, char type, bool inherit,
                            bool extend, bool derived) const;
    // The first value found along a chain of up to four objects.
    static const value* lookup(const j2k_params* const chain[4], const char* name, int record,
                               int field, char type, bool extend, bool derived);
    void print_value(std::ostream& out, int attr, int record, int field) const;

    const char* name_;
    const attribute_table* table_;
    bool allow_tiles_, allow_components_, allow_instances_;
    int tile_ = -1, component_ = -1, instance_ = 0;
    bool empty_ = true, marked_ = false;
    std::vector<attribute_state> attributes_;
    param_tree* tree_ = nullptr;
    param_cluster* cluster_ = nullptr;
};

// The objects of one cluster, ordered by tile, component and instance.
class param_cluster {
public:
    using key = std::pair<int, int>; // (tile, component)
    j2k_params* head() const { return find(-1, -1, 0); }
    j2k_params* find(int tile, int component, int instance = 0) const;
    j2k_params* create(int tile, int component); // a further instance when present
    // Reads for (tile, component) through the usual inheritance, whether or
    // not that pair has an object of its own (nothing is created).
    bool read_int(int tile, int component, const char* name, int record, int field, int& out) const;
    bool read_bool(int tile, int component, const char* name, int record, int field,
                   bool& out) const;
    bool read_float(int tile, int component, const char* name, int record, int field,
                    float& out) const;
    // Fills chain[1..3] with the objects (tile, component) inherits from.
    void inheritance(int tile, int component, const j2k_params* chain[4]) const;
    const std::vector<std::unique_ptr<j2k_params>>* instances(int tile, int component) const;
    // The (component, instances) of one tile in ascending component order.
    std::vector<j2k_params*> tile_objects(int tile) const;
    void erase_tile(int tile);
    std::vector<int> tiles() const;

private:
    friend class param_tree;
    friend class j2k_params;
    param_tree* tree_ = nullptr;
    std::unique_ptr<j2k_params> prototype_;
    std::map<key, std::vector<std::unique_ptr<j2k_params>>> objects_;
};

class param_tree {
public:
    param_tree();
    ~param_tree();
    param_tree(const param_tree&) = delete;
    param_tree& operator=(const param_tree&) = delete;

    // Appends a cluster whose main header object is the given one.
    j2k_params* add_cluster(std::unique_ptr<j2k_params> head);
    const std::vector<std::unique_ptr<param_cluster>>& clusters() const { return clusters_; }
    param_cluster* cluster(const char* name) const;
    j2k_params* root() const;

    // Makes the objects of (tile, component) in every cluster that allows
    // them, with the (tile, -1) objects they hang under.
    void ensure(int tile, int component);
    // Drops every object of the tile (all clusters).
    void erase_tile(int tile);
    // The image's component count, from the root SIZ object's Scomponents.
    int component_count() const;

private:
    std::vector<std::unique_ptr<param_cluster>> clusters_;
};

// A fresh tree holding a siz_params root only (the caller's image
// description, later copied into a code-stream's own tree).
std::unique_ptr<param_tree> make_siz_tree();
// A tree with the main header objects of all six clusters.
std::unique_ptr<param_tree> make_codestream_tree();

} // namespace j2k
