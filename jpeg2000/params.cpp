#include "jpeg2000/params.h"

#include <cstring>
#include <stdexcept>

#include "jpeg2000/markers.h"
#include "jpeg2000/messages.h"

namespace j2k {

namespace {

[[noreturn]] void invalid_argument() {
    fail("Invalid argument");
}

// Options of an enumeration "(A=1,B=2)" or a flag set "[A=1|B=2]" starting
// after the opening bracket; pos ends after the closing one.
std::vector<std::pair<std::string, int>> parse_options(const char*& pos, char separator,
                                                       char close) {
    std::vector<std::pair<std::string, int>> options;
    while (true) {
        std::string name;
        int value = 0;
        parse_setting(pos, separator, name, value);
        options.emplace_back(name, value);
        if (*pos == close) {
            ++pos;
            return options;
        }
        ++pos; // the separator
    }
}

} // namespace

void parse_setting(const char*& pos, char separator, std::string& name, int& value) {
    name.clear();
    while (*pos != '=') {
        if (*pos == '\0' || *pos == separator || *pos == ')' || *pos == ']' || name.size() >= 79)
            fail("String parse error");
        name.push_back(*pos++);
    }
    ++pos;
    const char* start = pos;
    if (*pos == '-') ++pos;
    long long v = 0;
    while (*pos >= '0' && *pos <= '9') {
        v = v * 10 + (*pos++ - '0');
        if (v > 0x7FFFFFFF) fail("String parse error");
    }
    if (pos == start || (*start == '-' && pos == start + 1) ||
        (*pos != separator && *pos != ')' && *pos != ']'))
        fail("String parse error");
    value = static_cast<int>(*start == '-' ? -v : v);
}

std::vector<field_desc> parse_pattern(const char* pattern) {
    std::vector<field_desc> fields;
    try {
        for (const char* p = pattern; *p;) {
            field_desc f;
            if (*p == 'I' || *p == 'B' || *p == 'F') {
                f.type = *p++;
            } else if (*p == '(') {
                ++p;
                f.options = parse_options(p, ',', ')');
            } else if (*p == '[') {
                ++p;
                f.is_flags = true;
                f.options = parse_options(p, '|', ']');
            } else {
                throw std::logic_error(pattern);
            }
            fields.push_back(std::move(f));
        }
    } catch (const failure&) {
        throw std::logic_error(pattern);
    }
    return fields;
}

j2k_params::j2k_params(const char* cluster_name, const attribute_table& table, bool allow_tiles,
                       bool allow_components, bool allow_instances)
    : name_(cluster_name),
      table_(&table),
      allow_tiles_(allow_tiles),
      allow_components_(allow_components),
      allow_instances_(allow_instances),
      attributes_(table.size()) {}

int j2k_params::find_attribute(const char* name) const {
    // Names are mostly the same literals as the table's: try the pointers first.
    for (size_t i = 0; i < table_->size(); ++i)
        if ((*table_)[i].name == name) return static_cast<int>(i);
    for (size_t i = 0; i < table_->size(); ++i)
        if (std::strcmp((*table_)[i].name, name) == 0) return static_cast<int>(i);
    return -1;
}

void j2k_params::put_value(const char* name, int record, int field, char type, int32_t i, float f) {
    int a = find_attribute(name);
    if (a < 0 || record < 0) invalid_argument();
    const attribute_desc& desc = (*table_)[a];
    if ((desc.flags & all_components_only) && component_ != -1) invalid_argument();
    if (field < 0 || field >= static_cast<int>(desc.fields.size())) invalid_argument();
    const field_desc& fd = desc.fields[field];
    if (type == 'F') {
        if (fd.type != 'F') invalid_argument();
    } else if (type == 'B') {
        if (fd.type != 'B') invalid_argument();
    } else {
        if (fd.type == 'F') invalid_argument();
        if (fd.type == 'B' && i != 0 && i != 1) invalid_argument();
        if (!fd.options.empty() && !fd.is_flags) {
            bool found = false;
            for (auto& o : fd.options)
                found = found || o.second == i;
            if (!found) invalid_argument();
        }
        if (fd.is_flags) {
            int32_t covered = 0;
            for (auto& o : fd.options)
                if ((o.second & i) == o.second) covered |= o.second;
            if (covered != i) {
                error_report r;
                r << "Attempting to set a code-stream attribute field using an integer value "
                     "which is incompatible with the flags defined for the field!\n"
                  << "The attribute name is \"" << name << "\".";
                r.raise();
            }
        }
    }
    attribute_state& st = attributes_[a];
    const int nf = static_cast<int>(desc.fields.size());
    if (record >= st.records) {
        if (record + 1 > st.allocated) {
            if (!(desc.flags & multi_records)) invalid_argument();
            st.allocated = record + 1 + st.allocated;
        }
        st.values.resize(static_cast<size_t>(record + 1) * nf);
        for (int r = std::max(st.records, 1); r <= record; ++r)
            for (int k = 0; k < nf; ++k) {
                value v = st.values[(r - 1) * nf + k];
                v.set = false;
                st.values[r * nf + k] = v;
            }
        st.records = record + 1;
    }
    value& v = st.values[record * nf + field];
    v.i = i;
    v.f = f;
    v.set = true;
    empty_ = false;
}

void j2k_params::put_int(const char* name, int record, int field, int value) {
    put_value(name, record, field, 'I', value, static_cast<float>(value));
}

void j2k_params::put_bool(const char* name, int record, int field, bool value) {
    put_value(name, record, field, 'B', value ? 1 : 0, value ? 1.0f : 0.0f);
}

void j2k_params::put_float(const char* name, int record, int field, float value) {
    put_value(name, record, field, 'F', 0, value);
}

const j2k_params::value* j2k_params::read_value(const char* name, int record, int field, char type,
                                                bool inherit, bool extend, bool derived) const {
    // The search order (t, c), (t, -1), (-1, c), (-1, -1); instances other
    // than the first never inherit.
    const j2k_params* chain[4] = {this, nullptr, nullptr, nullptr};
    if (inherit && instance_ == 0 && cluster_) cluster_->inheritance(tile_, component_, chain);
    return lookup(chain, name, record, field, type, extend, derived);
}

const j2k_params::value* j2k_params::lookup(const j2k_params* const chain[4], const char* name,
                                            int record, int field, char type, bool extend,
                                            bool derived) {
    const j2k_params* first = nullptr;
    for (int i = 0; i < 4 && !first; ++i)
        first = chain[i];
    if (!first) return nullptr;
    int a = first->find_attribute(name);
    if (a < 0 || record < 0) invalid_argument();
    const attribute_desc& desc = (*first->table_)[a];
    if (field < 0 || field >= static_cast<int>(desc.fields.size())) invalid_argument();
    char ft = desc.fields[field].type;
    if ((type == 'I' && ft == 'F') || (type == 'F' && ft != 'F') || (type == 'B' && ft != 'B'))
        invalid_argument();
    const int nf = static_cast<int>(desc.fields.size());
    for (int i = 0; i < 4; ++i) {
        const j2k_params* p = chain[i];
        if (!p) continue;
        const attribute_state& st = p->attributes_[a];
        if (st.records == 0 || (st.derived && !derived)) continue;
        int r = record;
        if (extend && (desc.flags & extend_last) && r >= st.records) r = st.records - 1;
        if (r >= st.records) return nullptr;
        const value& v = st.values[r * nf + field];
        return v.set ? &v : nullptr;
    }
    return nullptr;
}

bool j2k_params::read_int(const char* name, int record, int field, int& out, bool inherit,
                          bool extend, bool derived) const {
    const value* v = read_value(name, record, field, 'I', inherit, extend, derived);
    if (v) out = v->i;
    return v != nullptr;
}

bool j2k_params::read_bool(const char* name, int record, int field, bool& out, bool inherit,
                           bool extend, bool derived) const {
    const value* v = read_value(name, record, field, 'B', inherit, extend, derived);
    if (v) out = v->i != 0;
    return v != nullptr;
}

bool j2k_params::read_float(const char* name, int record, int field, float& out, bool inherit,
                            bool extend, bool derived) const {
    const value* v = read_value(name, record, field, 'F', inherit, extend, derived);
    if (v) out = v->f;
    return v != nullptr;
}

void j2k_params::set_derived(const char* name) {
    int a = find_attribute(name);
    if (a < 0) invalid_argument();
    attributes_[a].derived = true;
}

bool j2k_params::is_derived(const char* name) const {
    int a = find_attribute(name);
    if (a < 0) invalid_argument();
    return attributes_[a].derived;
}

int j2k_params::own_records(const char* name, bool skip_derived) const {
    int a = find_attribute(name);
    if (a < 0) invalid_argument();
    const attribute_state& st = attributes_[a];
    return skip_derived && st.derived ? 0 : st.records;
}

void j2k_params::clear_own(const char* name) {
    int a = find_attribute(name);
    if (a < 0) invalid_argument();
    attributes_[a].records = 0;
    attributes_[a].values.clear();
}

void j2k_params::clear_attribute(const char* name) {
    clear_own(name);
    if (!cluster_ || instance_ != 0) return;
    // A list head clears its lists: its instances; the main header object
    // also its components and the tile heads, a tile head its components.
    for (auto& [key, list] : cluster_->objects_) {
        const bool mine = key == std::pair(tile_, component_);
        const bool listed =
            component_ == -1 && ((tile_ == -1 && (key.first == -1 || key.second == -1)) ||
                                 (tile_ >= 0 && key.first == tile_));
        if (!mine && !listed) continue;
        for (auto& p : list)
            if (p.get() != this) p->clear_own(name);
    }
}

int j2k_params::component_count() const {
    return tree_ ? tree_->component_count() : 0;
}

j2k_params* j2k_params::create_next_instance() {
    return cluster_->create(tile_, component_);
}

const j2k_params* j2k_params::siz() const {
    return tree_ ? tree_->root() : nullptr;
}

j2k_params* j2k_params::find_cluster(const char* name) const {
    if (!tree_) return nullptr;
    if (!name) return tree_->root();
    param_cluster* c = tree_->cluster(name);
    return c ? c->head() : nullptr;
}

j2k_params* j2k_params::cluster_at(int n) const {
    if (!tree_ || n < 0 || n >= static_cast<int>(tree_->clusters().size())) return nullptr;
    return tree_->clusters()[n]->head();
}

j2k_params* j2k_params::find_object(int tile, int component, int instance) const {
    return cluster_ ? cluster_->find(tile, component, instance) : nullptr;
}

void j2k_params::complete_all() {
    bool started = false;
    for (auto& c : tree_->clusters()) {
        if (c.get() == cluster_) started = true;
        if (!started) continue;
        for (auto& [key, list] : c->objects_)
            for (auto& p : list)
                p->complete();
    }
}

void j2k_params::copy_all_from(const j2k_params& source, int first_component, int discard_levels,
                               bool transpose, bool vflip, bool hflip, int source_tile,
                               int dest_tile) {
    if (std::strcmp(name_, source.name_) != 0) invalid_argument();
    bool started = false;
    for (auto& dc : tree_->clusters()) {
        if (dc.get() == cluster_) started = true;
        if (!started) continue;
        param_cluster* sc = source.tree_->cluster(dc->head()->name_);
        if (!sc) continue;
        if (!sc->find(source_tile, -1) || (dest_tile >= 0 && !dc->head()->allows_tiles())) continue;
        for (j2k_params* s : sc->tile_objects(source_tile)) {
            if (s->instance_ != 0) continue;
            if (s->component_ >= 0 && s->component_ < first_component) continue;
            int dcomp = s->component_ < 0 ? -1 : s->component_ - first_component;
            tree_->ensure(dest_tile, dcomp);
            j2k_params* d = dc->find(dest_tile, dcomp);
            if (!d) continue;
            for (int n = 0;; ++n) {
                const j2k_params* si = sc->find(source_tile, s->component_, n);
                if (!si) break;
                j2k_params* di = dc->find(dest_tile, dcomp, n);
                if (!di) di = dc->find(dest_tile, dcomp, n - 1)->add_instance();
                if (!di) break;
                if (di->marked_) invalid_argument();
                if (di->empty_)
                    di->copy_transformed(*si, first_component, discard_levels, transpose, vflip,
                                         hflip);
            }
        }
        if (!source.cluster_ || source.cluster_->head() != &source) break;
    }
}

int j2k_params::count_marker_bytes(codestream_output_buffer* out, int tile, int tile_part) {
    int total = 0;
    for (auto& c : tree_->clusters()) {
        for (j2k_params* p : c->tile_objects(tile)) {
            const j2k_params* ref = nullptr;
            auto marked = [](const j2k_params* q) { return q && q->marked_ ? q : nullptr; };
            if (p->instance_ > 0) {
                ref = marked(c->find(tile, p->component_, p->instance_ - 1));
            } else if (p->component_ >= 0) {
                ref = marked(c->find(tile, -1));
                if (!ref && tile >= 0) {
                    ref = marked(c->find(-1, p->component_));
                    if (!ref) ref = marked(c->find(-1, -1));
                }
            } else if (tile >= 0) {
                ref = marked(c->find(-1, -1));
            }
            int length = p->emit_marker_segment(out, ref, tile_part);
            if (length > 0) {
                p->marked_ = true;
                total += length;
            }
        }
    }
    return total;
}

bool j2k_params::dispatch_marker_segment(int code, int length, const uint8_t* bytes, int tile,
                                         int tile_part) {
    for (auto& c : tree_->clusters()) {
        j2k_params* head = c->head();
        int comp = head->segment_component(code, length, bytes);
        if (comp == -2) continue;
        if ((tile >= 0 && !head->allow_tiles_) || (comp >= 0 && !head->allow_components_)) continue;
        if (comp >= component_count()) {
            error_report r;
            r << "Invalid marker segment " << marker_name(code) << ": component index " << comp
              << " is not below the image's " << component_count() << " components";
            r.raise();
        }
        tree_->ensure(tile, comp);
        for (int n = 0;; ++n) {
            j2k_params* p = c->find(tile, comp, n);
            if (!p) return false;
            if (p->marked_) continue;
            if (!p->absorb_marker_segment(code, length, bytes, tile_part)) return false;
            p->marked_ = true;
            p->empty_ = false;
            if (p->allow_instances_ && !c->find(tile, comp, n + 1)) p->add_instance();
            return true;
        }
    }
    return false;
}

void j2k_params::print_value(std::ostream& out, int a, int record, int field) const {
    const field_desc& fd = (*table_)[a].fields[field];
    const int nf = static_cast<int>((*table_)[a].fields.size());
    const value& v = attributes_[a].values[record * nf + field];
    if (!v.set) invalid_argument();
    if (fd.type == 'F') {
        out << v.f;
    } else if (fd.type == 'B') {
        out << (v.i ? "yes" : "no");
    } else if (fd.is_flags) {
        bool any = false;
        for (auto& o : fd.options)
            if (o.second != 0 && (v.i & o.second) == o.second) {
                out << (any ? "," : "") << o.first;
                any = true;
            }
        if (!any) out << "0";
    } else if (!fd.options.empty()) {
        for (auto& o : fd.options)
            if (o.second == v.i) out << o.first;
    } else {
        out << v.i;
    }
}

void j2k_params::print_settings(std::ostream& out, bool skip_derived) const {
    for (size_t a = 0; a < attributes_.size(); ++a) {
        const attribute_state& st = attributes_[a];
        if (st.records == 0 || (skip_derived && st.derived)) continue;
        out << (*table_)[a].name;
        if (tile_ >= 0 || component_ >= 0) {
            out << ":";
            if (tile_ >= 0) out << "T" << tile_;
            if (component_ >= 0) out << "C" << component_;
        }
        out << "=";
        const int nf = static_cast<int>((*table_)[a].fields.size());
        for (int r = 0; r < st.records; ++r) {
            if (r) out << ",";
            if (nf > 1) out << "{";
            for (int f = 0; f < nf; ++f) {
                if (f) out << ",";
                print_value(out, static_cast<int>(a), r, f);
            }
            if (nf > 1) out << "}";
        }
        out << "\n";
    }
}

void j2k_params::print_tile_settings(std::ostream& out, int first_tile, int last_tile,
                                     bool skip_derived) const {
    for (auto& c : tree_->clusters())
        for (int t = first_tile; t <= last_tile; ++t)
            for (j2k_params* p : c->tile_objects(t))
                p->print_settings(out, skip_derived);
}

void j2k_params::copy_transformed(const j2k_params&, int, int, bool, bool, bool) {}

int j2k_params::emit_marker_segment(codestream_output_buffer*, const j2k_params*, int) {
    return 0;
}

bool j2k_params::absorb_marker_segment(int, int, const uint8_t*, int) {
    return false;
}

int j2k_params::segment_component(int, int, const uint8_t*) const {
    return -2;
}

// ---------------------------------------------------------------------------

j2k_params* param_cluster::find(int tile, int component, int instance) const {
    auto it = objects_.find({tile, component});
    if (it == objects_.end() || instance < 0 || instance >= static_cast<int>(it->second.size()))
        return nullptr;
    return it->second[instance].get();
}

j2k_params* param_cluster::create(int tile, int component) {
    auto& list = objects_[{tile, component}];
    std::unique_ptr<j2k_params> p =
        list.empty() && tile == -1 && component == -1 && prototype_
            ? std::move(prototype_)
            : (list.empty() ? objects_.begin()->second[0] : list[0])->make_new();
    p->tile_ = tile;
    p->component_ = component;
    p->instance_ = static_cast<int>(list.size());
    p->tree_ = tree_;
    p->cluster_ = this;
    list.push_back(std::move(p));
    return list.back().get();
}

void param_cluster::inheritance(int tile, int component, const j2k_params* chain[4]) const {
    if (tile >= 0 && component >= 0) {
        chain[1] = find(tile, -1);
        chain[2] = find(-1, component);
    }
    if (tile >= 0 || component >= 0) chain[3] = find(-1, -1);
}

bool param_cluster::read_int(int tile, int component, const char* name, int record, int field,
                             int& out) const {
    const j2k_params* chain[4] = {find(tile, component), nullptr, nullptr, nullptr};
    inheritance(tile, component, chain);
    const j2k_params::value* v = j2k_params::lookup(chain, name, record, field, 'I', true, true);
    if (v) out = v->i;
    return v != nullptr;
}

bool param_cluster::read_bool(int tile, int component, const char* name, int record, int field,
                              bool& out) const {
    const j2k_params* chain[4] = {find(tile, component), nullptr, nullptr, nullptr};
    inheritance(tile, component, chain);
    const j2k_params::value* v = j2k_params::lookup(chain, name, record, field, 'B', true, true);
    if (v) out = v->i != 0;
    return v != nullptr;
}

bool param_cluster::read_float(int tile, int component, const char* name, int record, int field,
                               float& out) const {
    const j2k_params* chain[4] = {find(tile, component), nullptr, nullptr, nullptr};
    inheritance(tile, component, chain);
    const j2k_params::value* v = j2k_params::lookup(chain, name, record, field, 'F', true, true);
    if (v) out = v->f;
    return v != nullptr;
}

const std::vector<std::unique_ptr<j2k_params>>* param_cluster::instances(int tile,
                                                                         int component) const {
    auto it = objects_.find({tile, component});
    return it == objects_.end() ? nullptr : &it->second;
}

std::vector<j2k_params*> param_cluster::tile_objects(int tile) const {
    std::vector<j2k_params*> out;
    for (auto it = objects_.lower_bound({tile, -1});
         it != objects_.end() && it->first.first == tile; ++it)
        for (auto& p : it->second)
            out.push_back(p.get());
    return out;
}

void param_cluster::erase_tile(int tile) {
    if (tile < 0) return;
    auto it = objects_.lower_bound({tile, -1});
    while (it != objects_.end() && it->first.first == tile)
        it = objects_.erase(it);
}

std::vector<int> param_cluster::tiles() const {
    std::vector<int> out;
    for (auto& [key, list] : objects_)
        if (out.empty() || out.back() != key.first) out.push_back(key.first);
    return out;
}

param_tree::param_tree() = default;
param_tree::~param_tree() = default;

j2k_params* param_tree::add_cluster(std::unique_ptr<j2k_params> head) {
    auto c = std::make_unique<param_cluster>();
    c->tree_ = this;
    c->prototype_ = std::move(head);
    clusters_.push_back(std::move(c));
    return clusters_.back()->create(-1, -1);
}

param_cluster* param_tree::cluster(const char* name) const {
    for (auto& c : clusters_)
        if (std::strcmp(c->head()->cluster_name(), name) == 0) return c.get();
    return nullptr;
}

j2k_params* param_tree::root() const {
    return clusters_.empty() ? nullptr : clusters_[0]->head();
}

void param_tree::ensure(int tile, int component) {
    for (auto& c : clusters_) {
        const j2k_params* head = c->head();
        if ((tile >= 0 && !head->allows_tiles()) || (component >= 0 && !head->allows_components()))
            continue;
        if (!c->find(tile, -1)) c->create(tile, -1);
        if (component >= 0 && !c->find(tile, component)) c->create(tile, component);
    }
}

void param_tree::erase_tile(int tile) {
    for (auto& c : clusters_)
        c->erase_tile(tile);
}

int param_tree::component_count() const {
    int n = 0;
    const j2k_params* r = root();
    if (r && std::strcmp(r->cluster_name(), "SIZ") == 0) r->read_int("Scomponents", 0, 0, n);
    return n;
}

} // namespace j2k
