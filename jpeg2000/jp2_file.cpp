// JP2 header boxes, read and written (ISO/IEC 15444-1 I.5):
//   'jP  '  signature 0x0D0A870A
//   'ftyp'  BR (brand), MinV, CLi (compatibility list)
//   'jp2h'  superbox of
//     'ihdr'  HEIGHT, WIDTH, NC, BPC (depth - 1, bit 7 signed; 255: see bpcc),
//             C (7), UnkC, IPR
//     'bpcc'  one depth byte per component
//     'colr'  METH (1 enumerated, 2/3 ICC, 4 vendor), PREC, APPROX, EnumCS
//             or the profile
//     'pclr'  NE, NPC, B per table, then the entries
//     'cmap'  per channel CMP, MTYP, PCOL
//     'cdef'  N, then Cn, Typ, Asoc
//     'res '  superbox of 'resc' / 'resd': VRcN, VRcD, HRcN, HRcD, VRcE, HRcE
//   'jp2c'  the code-stream
#include "jpeg2000/jp2_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "jpeg2000/messages.h"
#include "jpeg2000/params.h"

namespace j2k {

namespace {

constexpr uint32_t signature_value = 0x0D0A870A;

// Depth byte: bit 7 signed, low seven bits depth - 1.
int decode_depth(uint32_t b) {
    return (b & 0x80) ? -int((b & 0x7F) + 1) : int((b & 0x7F) + 1);
}
uint8_t encode_depth(int depth) {
    return static_cast<uint8_t>((std::abs(depth) - 1) | (depth < 0 ? 0x80 : 0));
}

} // namespace

// ---------------------------------------------------------------------------
// Header objects

void image_header_info::init(uint32_t h, uint32_t w, int n) {
    if (components != 0) fail("JP2 dimensions may be initialized only once");
    height = h;
    width = w;
    components = n;
    unkc = true;
    ipr = false;
    depths.assign(static_cast<size_t>(std::max(n, 0)), 0);
}

void image_header_info::set_precision(int c, int bits, bool is_signed) {
    depths.at(static_cast<size_t>(c)) = is_signed ? -bits : bits;
}

void image_header_info::from_siz(const j2k_params& siz) {
    int size[2], origin[2], n;
    for (int a = 0; a < 2; ++a)
        if (!siz.read_int("Ssize", 0, a, size[a]) || !siz.read_int("Sorigin", 0, a, origin[a]))
            fail("Incomplete `siz_params' object");
    if (!siz.read_int("Scomponents", 0, 0, n)) fail("Incomplete `siz_params' object");
    init(static_cast<uint32_t>(size[0] - origin[0]), static_cast<uint32_t>(size[1] - origin[1]), n);
    for (int c = 0; c < n; ++c) {
        int bits;
        bool s;
        if (!siz.read_int("Sprecision", c, 0, bits) || !siz.read_bool("Ssigned", c, 0, s))
            fail("Incomplete `siz_params' object");
        set_precision(c, bits, s);
    }
}

void image_header_info::validate() const {
    bool ok = components >= 1 && components <= 16384;
    for (int d : depths)
        ok = ok && d != 0 && std::abs(d) <= 38;
    if (!ok) fail("Invalid dimensional information");
}

void colour_info::set_space(int code) {
    if (channels_ != 0) fail("Color information may be initialized only once");
    space_ = code;
    channels_ = code == cs_grey ? 1 : 3;
}

void colour_info::set_icc(std::vector<uint8_t> profile) {
    if (channels_ != 0) fail("Color information may be initialized only once");
    if (!adopt_icc(std::move(profile))) fail("ICC profile does not have a complete header");
}

bool colour_info::adopt_icc(std::vector<uint8_t> profile) {
    if (profile.size() < 132) return false;
    // The profile's length is the bytes it has; its own length field may lie.
    static const uint8_t scanner[4] = {'s', 'c', 'n', 'r'};
    std::memcpy(profile.data() + 12, scanner, 4);
    const uint32_t sig = uint32_t(profile[16]) << 24 | uint32_t(profile[17]) << 16 |
                         uint32_t(profile[18]) << 8 | profile[19];
    struct {
        uint32_t sig;
        int space, channels;
    } static const spaces[] = {
        {box_type("GRAY"), cs_grey, 1}, {box_type("RGB "), cs_srgb, 3},
        {box_type("YCbr"), cs_sycc, 3}, {box_type("CMY "), cs_cmy, 3},
        {box_type("CMYK"), cs_cmyk, 4}, {box_type("Lab "), cs_lab, 3},
        {box_type("Luv "), cs_luv, 3},  {box_type("XYZ "), cs_xyz, 3},
    };
    space_ = cs_unknown;
    channels_ = 1;
    for (auto& s : spaces)
        if (s.sig == sig) space_ = s.space, channels_ = s.channels;
    icc_ = std::move(profile);
    return true;
}

const uint8_t* colour_info::icc_bytes(int& length) const {
    length = static_cast<int>(icc_.size());
    return icc_.empty() ? nullptr : icc_.data();
}

void colour_info::read_box(box_reader& box) {
    uint32_t meth, prec, approx;
    if (!box.read_u8(meth) || !box.read_u8(prec) || !box.read_u8(approx) || meth == 0 || meth > 4)
        fail("Malformed color box");
    if (meth == 4) {
        warn("Unsupported vendor color box");
        box.close();
        return;
    }
    if (channels_ != 0 && meth != 3) {
        box.close(); // the first specification stays
        return;
    }
    if (meth == 1) {
        uint32_t enum_cs = 0;
        box.read_u32(enum_cs);
        int space;
        switch (enum_cs) {
            case 2:
            case 14:
                space = cs_lab;
                break;
            case 7:
            case 12:
                space = cs_cmyk;
                break;
            case 11:
                space = cs_cmy;
                break;
            case 13:
                space = cs_ycck;
                break;
            case 16:
                space = cs_srgb;
                break;
            case 17:
                space = cs_grey;
                break;
            case 18:
            case 22:
            case 23:
                space = cs_sycc;
                break;
            default:
                fail("Illegal colour space");
        }
        space_ = space;
        channels_ = space == cs_grey ? 1 : (space == cs_cmyk || space == cs_ycck ? 4 : 3);
        icc_.clear();
        if (space == cs_lab && box.length_known()) {
            if (box.bytes_left() == 28) {
                for (uint32_t& v : lab_)
                    box.read_u32(v);
            } else if (box.bytes_left() == 0) {
                lab_ = {100, 0, 255, 128, 255, 128, 0x00443530};
            }
        }
    } else {
        // The rest of the box (to its container's end when its length is
        // open) is the profile; the box length bounds the allocation.
        std::vector<uint8_t> profile(static_cast<size_t>(box.bytes_left()));
        if (box.read(profile.data(), static_cast<int64_t>(profile.size())) !=
            static_cast<int64_t>(profile.size()))
            fail("File terminated unexpectedly");
        if (!adopt_icc(std::move(profile))) {
            warn("ICC profile does not have a complete header");
            return;
        }
    }
    if (box.length_known() && box.bytes_left() != 0) fail("Malformed color box");
}

void palette_info::init(int entries) {
    if (tables_ != 0) fail("Palette information may be initialized only once");
    tables_ = 3;
    entries_ = entries;
    depths_.assign(3, 0);
    values_.assign(3, std::vector<int32_t>(static_cast<size_t>(entries), 0));
}

void palette_info::set_table(int table, std::span<const uint16_t> values) {
    depths_.at(static_cast<size_t>(table)) = 16;
    auto& t = values_.at(static_cast<size_t>(table));
    for (size_t e = 0; e < t.size() && e < values.size(); ++e)
        t[e] = static_cast<int32_t>(static_cast<uint32_t>(values[e] - 0x8000) << 16);
}

void palette_info::table_as_floats(int table, float* out) const {
    for (int32_t v : values_.at(static_cast<size_t>(table)))
        *out++ = static_cast<float>(v * (1.0 / 4294967296.0));
}

uint16_t palette_info::entry16(int table, int entry) const {
    const int bits = std::min(std::abs(depths_.at(static_cast<size_t>(table))), 32);
    const int32_t v = values_.at(static_cast<size_t>(table)).at(static_cast<size_t>(entry));
    const uint32_t offset = depths_[static_cast<size_t>(table)] > 0 ? 0x80000000u : 0;
    const uint64_t u = (static_cast<uint32_t>(v) + offset) >> (32 - bits);
    const uint64_t top = (uint64_t{1} << bits) - 1;
    // Scaled so that the table's top value is 65535: v x 257 for 8 bits.
    return static_cast<uint16_t>((u * 65535 + top / 2) / top);
}

void palette_info::read_box(box_reader& box) {
    if (tables_ != 0) fail("Multiple palette boxes");
    uint32_t ne, npc;
    if (!box.read_u16(ne) || !box.read_u8(npc) || ne == 0 || ne > 1024 || npc == 0)
        fail("Malformed palette box");
    tables_ = static_cast<int>(npc);
    entries_ = static_cast<int>(ne);
    depths_.assign(npc, 0);
    for (int& d : depths_) {
        uint32_t b;
        if (!box.read_u8(b) || (b & 0x7F) > 37) fail("Malformed palette box");
        d = decode_depth(b);
    }
    values_.assign(npc, std::vector<int32_t>(ne, 0));
    for (uint32_t e = 0; e < ne; ++e)
        for (uint32_t t = 0; t < npc; ++t) {
            const int bits = std::abs(depths_[t]);
            const int bytes = (bits + 7) / 8;
            uint64_t v = 0;
            for (int k = 0; k < bytes; ++k) {
                uint32_t b;
                if (!box.read_u8(b)) fail("Malformed palette box");
                v = v << 8 | b;
            }
            int keep = bits;
            if (bits > 32) {
                v >>= bits - 32; // the top 32 bits
                keep = 32;
            }
            const uint32_t up = static_cast<uint32_t>(v << (32 - keep));
            values_[t][e] =
                depths_[t] > 0 ? static_cast<int32_t>(up - 0x80000000u) : static_cast<int32_t>(up);
        }
    if (box.length_known() && box.bytes_left() != 0) fail("Malformed palette box");
}

void palette_info::validate() const {
    if (tables_ == 0) return;
    bool ok = tables_ >= 1 && tables_ <= 255 && entries_ >= 1 && entries_ <= 1024;
    for (int d : depths_)
        ok = ok && d != 0 && std::abs(d) <= 32;
    if (!ok) fail("Invalid palette box");
}

channel_info::channel_info() {
    for (int k = 0; k < pairs; ++k)
        pairs_[k] = {k < 3 ? k : -1, -1};
}

void channel_info::set_colour_channels_3() {
    colour_channels_ = 3;
    for (int k = 3; k < pairs; ++k)
        pairs_[k] = {-1, -1};
}

void channel_info::set_mapping(int channel, int component, int table) {
    pairs_.at(static_cast<size_t>(channel)) = {component, table};
}

bool channel_info::mapping(int pair, int& component, int& table) const {
    if (pair < 0 || pair >= pairs || pairs_[pair].first < 0) return false;
    component = pairs_[pair].first;
    table = pairs_[pair].second;
    return true;
}

void channel_info::read_cdef(box_reader& box) {
    uint32_t n;
    if (!box.read_u16(n) || n == 0) fail("Malformed channel definition box");
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t cn, typ, asoc;
        if (!box.read_u16(cn) || !box.read_u16(typ) || !box.read_u16(asoc) ||
            (typ > 2 && typ != 65535))
            fail("Malformed channel definition box");
        if (typ > 2 || asoc > 3) continue;
        if (asoc == 0) {
            for (int k = 0; k < 3; ++k)
                pairs_[typ * 3 + k].first = static_cast<int>(cn);
        } else {
            pairs_[typ * 3 + asoc - 1].first = static_cast<int>(cn);
        }
    }
    if (box.length_known() && box.bytes_left() != 0) fail("Malformed channel definition box");
}

void channel_info::read_cmap(box_reader& box) {
    if (have_cmap_) fail("Multiple instances of component mapping box");
    have_cmap_ = true;
    const int64_t left = box.bytes_left();
    if (left <= 0 || left % 4 != 0) fail("Malformed component mapping box");
    for (int64_t i = 0; i < left / 4; ++i) {
        uint32_t cmp, mtyp, pcol;
        if (!box.read_u16(cmp) || !box.read_u8(mtyp) || !box.read_u8(pcol) || mtyp > 1)
            fail("Malformed component mapping box");
        cmap_.emplace_back(static_cast<int>(cmp), mtyp == 1 ? static_cast<int>(pcol) : -1);
    }
}

void channel_info::finalize(int c, int m, int t) {
    if (finalized_) return;
    finalized_ = true;
    if (c == 1)
        for (int type = 0; type < 3; ++type)
            pairs_[type * 3 + 1].first = pairs_[type * 3 + 2].first = -1;
    if (colour_channels_ == 0) {
        colour_channels_ = c;
        if (have_cmap_) {
            for (auto& p : pairs_) {
                if (p.first < 0) continue;
                if (p.first >= static_cast<int>(cmap_.size()))
                    fail("Color definition box references an undefined channel");
                p = cmap_[static_cast<size_t>(p.first)];
            }
            cmap_.clear();
        }
    } else {
        if (colour_channels_ != c) fail("Invalid color channel object");
        for (int a = 0; a < pairs; ++a)
            for (int b = 0; b < pairs; ++b) {
                if (pairs_[a].first < 0 || pairs_[a].first != pairs_[b].first) continue;
                if ((pairs_[a].second < 0) != (pairs_[b].second < 0))
                    fail("Illegal component usage");
                if (a / 3 < b / 3 && pairs_[a] == pairs_[b])
                    fail("Illegal specification of component");
            }
    }
    for (int k = 0; k < c; ++k)
        if (pairs_[k].first < 0) {
            warn("Insufficient channel associations");
            break;
        }
    for (auto& p : pairs_)
        if (p.first >= m || p.second >= t) fail("Invalid color channel");
}

void resolution_info::set_aspect(float ratio) {
    if (set_) fail("Resolution information may be initialized only once");
    set_ = true;
    display_aspect_ = capture_aspect_ = ratio;
    display_res_ = 0;
}

void resolution_info::read_sub_box(box_reader& box, bool capture) {
    uint32_t vn, vd, hn, hd, ve, he;
    if (!box.read_u16(vn) || !box.read_u16(vd) || !box.read_u16(hn) || !box.read_u16(hd) ||
        !box.read_u8(ve) || !box.read_u8(he) || !vn || !vd || !hn || !hd ||
        (box.length_known() && box.bytes_left() != 0))
        fail("Malformed resolution sub-box");
    auto value = [](uint32_t n, uint32_t d, uint32_t e) {
        double v = static_cast<double>(n) / d;
        const int exponent = static_cast<int8_t>(e);
        for (int i = 0; i < exponent; ++i)
            v *= 10;
        for (int i = 0; i > exponent; --i)
            v *= 0.1f;
        return static_cast<float>(v);
    };
    const float vr = value(vn, vd, ve), hr = value(hn, hd, he);
    // Values the arithmetic cannot hold are ignored.
    if (!std::isfinite(vr) || !std::isfinite(hr) || vr <= 0 || hr <= 0 || !std::isfinite(hr / vr)) {
        ignored_ = true;
        return;
    }
    const float aspect = hr / vr;
    if (capture) {
        capture_aspect_ = aspect;
        capture_res_ = vr;
        if (display_res_ <= 0) display_aspect_ = aspect;
    } else {
        display_aspect_ = aspect;
        display_res_ = vr;
        if (capture_res_ <= 0) capture_aspect_ = aspect;
    }
}

void resolution_info::read_box(box_reader& box) {
    if (set_) fail("Multiple instances of resolution box");
    set_ = true;
    box_reader sub;
    while (sub.open_next(&box)) {
        if (sub.type() == box_type("resc") || sub.type() == box_type("resd"))
            read_sub_box(sub, sub.type() == box_type("resc"));
        if (!sub.length_known()) break;
        sub.close();
    }
    if ((capture_res_ <= 0 && display_res_ <= 0 && !ignored_) ||
        (box.length_known() && box.bytes_left() != 0))
        fail("Malformed resolution box");
}

// ---------------------------------------------------------------------------
// Reading

boxed_file_reader::boxed_file_reader(FILE* file)
    : file_(file), input_(std::make_unique<file_input>(file)) {
    read_header();
}

boxed_file_reader::boxed_file_reader(std::span<const uint8_t> bytes)
    : input_(std::make_unique<memory_input>(bytes)) {
    read_header();
}

void boxed_file_reader::close() {
    file_.reset();
}

int64_t boxed_file_reader::read_at(int64_t position, uint8_t* bytes, int64_t n) {
    if (!input_ || position < 0) return 0;
    if (codestream_length_ >= 0) n = std::min(n, codestream_length_ - position);
    if (n <= 0) return 0;
    return input_->read_at(codestream_start_ + position, bytes, n);
}

int boxed_file_reader::read(uint8_t* bytes, int n) {
    if (!codestream_box_.is_open()) return 0;
    return static_cast<int>(codestream_box_.read(bytes, n));
}

void boxed_file_reader::read_header() {
    box_reader box;
    uint32_t sig = 0;
    if (!box.open_next(input_.get()) || box.type() != box_type("jP  ") || !box.read_u32(sig) ||
        sig != signature_value || !box.length_known() || box.bytes_left() != 0)
        fail("Invalid signature box");
    box.close();
    bool compatible = false;
    while (true) {
        if (!box.open_next(input_.get())) fail("File contains no contiguous code-stream box");
        if (box.type() == box_type("ftyp")) {
            uint32_t brand, minor, entry;
            if (box.read_u32(brand) && box.read_u32(minor))
                while (box.read_u32(entry))
                    compatible = compatible || entry == box_type("jp2 ") ||
                                 entry == box_type("jpx ") || entry == box_type("jpxb");
            if (!compatible) fail("File is not compatible with the JP2 or JPX format");
        } else if (box.type() == box_type("jp2h")) {
            if (!compatible) fail("File is not compatible with the JP2 or JPX format");
            read_jp2h(box);
        } else if (box.type() == box_type("jp2c")) {
            codestream_box_ = box;
            codestream_start_ = input_->position();
            codestream_length_ = box.length_known() ? box.bytes_left() : -1;
            return;
        }
        if (!box.length_known()) fail("File contains no contiguous code-stream box");
        box.close();
    }
}

void boxed_file_reader::read_jp2h(box_reader& jp2h) {
    box_reader sub;
    bool have_ihdr = false;
    while (sub.open_next(&jp2h)) {
        const uint32_t type = sub.type();
        if (type == box_type("ihdr")) {
            if (have_ihdr) fail("multiple image header boxes");
            have_ihdr = true;
            uint32_t h, w, nc, bpc, c, unkc, ipr;
            if (!sub.read_u32(h) || !sub.read_u32(w) || !sub.read_u16(nc) || !sub.read_u8(bpc) ||
                !sub.read_u8(c) || !sub.read_u8(unkc) || !sub.read_u8(ipr) ||
                (sub.length_known() && sub.bytes_left() != 0) || nc == 0 || nc > 16384 ||
                unkc > 1 || ipr > 1 || (bpc != 255 && (bpc & 0x7F) > 37))
                fail("Malformed image header box");
            if (c != 7) fail("Unsupported compression");
            if (h >= 0x80000000u || w >= 0x80000000u)
                fail(
                    "Cannot process files whose image header box contains height and width "
                    "values larger than 2^{31}-1");
            header_.height = h;
            header_.width = w;
            header_.components = static_cast<int>(nc);
            header_.unkc = unkc;
            header_.ipr = ipr;
            header_.depths.assign(nc, bpc == 255 ? 0 : decode_depth(bpc));
        } else if (type == box_type("bpcc")) {
            for (int& d : header_.depths) {
                uint32_t b;
                if (d != 0) fail("Illegal bits per component box");
                if (!sub.read_u8(b) || (b & 0x7F) > 37) fail("Malformed bits per component box");
                d = decode_depth(b);
            }
            if (sub.length_known() && sub.bytes_left() != 0)
                fail("Malformed bits per component box");
        } else if (type == box_type("colr")) {
            colour_.read_box(sub);
        } else if (type == box_type("pclr")) {
            palette_.read_box(sub);
        } else if (type == box_type("cdef")) {
            channels_.read_cdef(sub);
        } else if (type == box_type("cmap")) {
            channels_.read_cmap(sub);
        } else if (type == box_type("res ")) {
            resolution_.read_box(sub);
        } else if (type == box_type("xml ")) {
            box_reader x;
            while (x.open_next(&sub)) {
                if (x.type() == box_type("xml ")) {
                    xml_.assign(static_cast<size_t>(x.bytes_left()), '\0');
                    x.read(reinterpret_cast<uint8_t*>(xml_.data()),
                           static_cast<int64_t>(xml_.size()));
                }
                if (!x.length_known()) break;
                x.close();
            }
            if (sub.length_known() && sub.bytes_left() != 0) fail("Malformed xml box");
        }
        if (!sub.length_known()) break; // it ran to the end of the header box
        sub.close();
    }
    header_.validate();
    if (!colour_.is_set()) fail("No color information available");
    palette_.validate();
    if (resolution_.display_aspect_ <= 0) resolution_.display_aspect_ = 1;
    if (resolution_.capture_aspect_ <= 0) resolution_.capture_aspect_ = 1;
    channels_.finalize(colour_.channel_count(), header_.components, palette_.table_count());
    if (jp2h.length_known() && jp2h.bytes_left() != 0) fail("Image header contains unknown data");
}

// ---------------------------------------------------------------------------
// Writing

void boxed_file_writer::close() {
    if (file_) {
        if (header_written_) codestream_box_.close();
        std::fclose(file_);
    }
    file_ = nullptr;
}

bool boxed_file_writer::write(const uint8_t* bytes, int n) {
    if (!header_written_) {
        header_written_ = true;
        write_header();
    }
    return codestream_box_.write(bytes, static_cast<size_t>(n));
}

void boxed_file_writer::write_header() {
    header_.validate();
    if (!colour_.is_set()) fail("No color information available");
    palette_.validate();
    channels_.finalize(colour_.channel_count(), header_.components, palette_.table_count());
    box_writer box;
    box.open(box_type("jP  "), nullptr, file_);
    box.write_u32(signature_value);
    box.close();
    box.open(box_type("ftyp"), nullptr, file_);
    box.write_u32(box_type("jp2 "));
    box.write_u32(0);
    box.write_u32(box_type("jp2 "));
    box.close();
    box_writer jp2h;
    jp2h.open(box_type("jp2h"), nullptr, file_);
    box_writer sub;
    sub.open(box_type("ihdr"), &jp2h, nullptr);
    sub.write_u32(header_.height);
    sub.write_u32(header_.width);
    sub.write_u16(static_cast<uint32_t>(header_.components));
    const bool same = std::all_of(header_.depths.begin(), header_.depths.end(),
                                  [&](int d) { return d == header_.depths[0]; });
    sub.write_u8(same ? encode_depth(header_.depths[0]) : 255);
    sub.write_u8(7);
    sub.write_u8(header_.unkc ? 1 : 0);
    sub.write_u8(header_.ipr ? 1 : 0);
    sub.close();
    if (!same) {
        sub.open(box_type("bpcc"), &jp2h, nullptr);
        for (int d : header_.depths)
            sub.write_u8(encode_depth(d));
        sub.close();
    }
    sub.open(box_type("colr"), &jp2h, nullptr);
    int icc_length = 0;
    const uint8_t* icc = colour_.icc_bytes(icc_length);
    sub.write_u8(icc ? 2 : 1);
    sub.write_u8(0);
    sub.write_u8(0);
    if (icc) {
        sub.write(icc, static_cast<size_t>(icc_length));
    } else {
        sub.write_u32(colour_.space() == cs_grey ? 17 : (colour_.space() == cs_sycc ? 18 : 16));
    }
    sub.close();
    if (palette_.tables_) {
        sub.open(box_type("pclr"), &jp2h, nullptr);
        sub.write_u16(static_cast<uint32_t>(palette_.entries_));
        sub.write_u8(static_cast<uint32_t>(palette_.tables_));
        // Tables set through set_table hold 16-bit values.
        for (int t = 0; t < palette_.tables_; ++t)
            sub.write_u8(encode_depth(16));
        for (int e = 0; e < palette_.entries_; ++e)
            for (int t = 0; t < palette_.tables_; ++t)
                sub.write_u16((static_cast<uint32_t>(palette_.values_[t][e]) >> 16) ^ 0x8000);
        sub.close();
    }
    write_channel_boxes(jp2h);
    write_resolution_box(jp2h);
    jp2h.close();
    codestream_box_.open(box_type("jp2c"), nullptr, file_, true);
}

void boxed_file_writer::write_channel_boxes(box_writer& jp2h) {
    const int m = header_.components;
    const bool palette = palette_.tables_ > 0;
    std::vector<bool> used(static_cast<size_t>(m), false);
    bool plain = !palette;
    for (int k = 0; k < channel_info::pairs; ++k) {
        const auto& p = channels_.pairs_[k];
        if (p.first < 0) continue;
        used[static_cast<size_t>(p.first)] = true;
        if (k >= 3 || p.first != k) plain = false;
    }
    const int free = static_cast<int>(std::count(used.begin(), used.end(), false));
    if (plain && free == 0) return;
    // Channel numbers: with a palette, pairs sharing (component, table) share one.
    std::vector<std::pair<int, int>> channels;
    std::vector<int> pair_channel(channel_info::pairs, -1);
    for (int k = 0; k < channel_info::pairs; ++k) {
        const auto& p = channels_.pairs_[k];
        if (p.first < 0) continue;
        if (!palette) {
            pair_channel[k] = p.first;
            continue;
        }
        auto at = std::find(channels.begin(), channels.end(), p);
        if (at == channels.end()) at = channels.insert(channels.end(), p);
        pair_channel[k] = static_cast<int>(at - channels.begin());
    }
    // An opacity channel shared by every colour channel is the whole
    // image's (association 0), as other readers expect of an alpha channel.
    const int colours = channels_.colour_channels_;
    bool whole[3] = {false, false, false};
    for (int type = 1; type < 3 && colours > 0; ++type) {
        whole[type] = pair_channel[type * 3] >= 0;
        for (int k = 1; k < colours; ++k)
            whole[type] = whole[type] && pair_channel[type * 3 + k] == pair_channel[type * 3];
    }
    box_writer cdef;
    cdef.open(box_type("cdef"), &jp2h, nullptr);
    int entries = free;
    for (int k = 0; k < channel_info::pairs; ++k)
        entries += pair_channel[k] >= 0 && !(whole[k / 3] && k % 3 > 0);
    cdef.write_u16(static_cast<uint32_t>(entries));
    for (int k = 0; k < channel_info::pairs; ++k) {
        if (pair_channel[k] < 0 || (whole[k / 3] && k % 3 > 0)) continue;
        cdef.write_u16(static_cast<uint32_t>(pair_channel[k]));
        cdef.write_u16(static_cast<uint32_t>(k / 3));
        cdef.write_u16(static_cast<uint32_t>(whole[k / 3] ? 0 : k % 3 + 1));
    }
    int next = static_cast<int>(channels.size());
    for (int c = 0; c < m; ++c)
        if (!used[static_cast<size_t>(c)]) {
            cdef.write_u16(static_cast<uint32_t>(palette ? next++ : c));
            cdef.write_u16(65535);
            cdef.write_u16(65535);
        }
    cdef.close();
    if (!palette) return;
    box_writer cmap;
    cmap.open(box_type("cmap"), &jp2h, nullptr);
    for (auto& ch : channels) {
        cmap.write_u16(static_cast<uint32_t>(ch.first));
        cmap.write_u8(ch.second >= 0 ? 1 : 0);
        cmap.write_u8(static_cast<uint32_t>(std::max(ch.second, 0)));
    }
    for (int c = 0; c < m; ++c)
        if (!used[static_cast<size_t>(c)]) {
            cmap.write_u16(static_cast<uint32_t>(c));
            cmap.write_u8(0);
            cmap.write_u8(0);
        }
    cmap.close();
}

void boxed_file_writer::write_resolution_box(box_writer& jp2h) {
    const float a = resolution_.display_aspect_, b = resolution_.capture_aspect_;
    const float d = resolution_.display_res_, e = resolution_.capture_res_;
    const bool display = std::fabs(a - 1) > 0.01f || d > 0;
    bool capture = std::fabs(b - 1) > 0.01f || e > 0;
    if (display && !(e > 0) && std::fabs(b / a - 1) < 0.01f) capture = false;
    if (!display && !capture) return;
    // r as N / 32768 x 10^E with the mantissa in (0.1, 1].
    auto fraction = [](double r, uint32_t& n, int& exponent) {
        exponent = 0;
        while (r > 1 && exponent < 127)
            r /= 10, ++exponent;
        while (r <= 0.1 && exponent > -127)
            r *= 10, --exponent;
        const double v = r * 32768 + 0.5;
        if (!(v >= 1) || v > 65535) fail("Unable to save resolution information");
        n = static_cast<uint32_t>(v);
    };
    box_writer res;
    res.open(box_type("res "), &jp2h, nullptr);
    auto sub = [&](const char(&type)[5], float vertical, float aspect) {
        const float vr = vertical > 0 ? vertical : 1;
        uint32_t vn, hn;
        int ve, he;
        fraction(vr, vn, ve);
        fraction(static_cast<double>(vr) * aspect, hn, he);
        box_writer s;
        s.open(box_type(type), &res, nullptr);
        s.write_u16(vn);
        s.write_u16(32768);
        s.write_u16(hn);
        s.write_u16(32768);
        s.write_u8(static_cast<uint8_t>(ve));
        s.write_u8(static_cast<uint8_t>(he));
        s.close();
    };
    if (display) sub("resd", d, a);
    if (capture) sub("resc", e, b);
    res.close();
}

} // namespace j2k
