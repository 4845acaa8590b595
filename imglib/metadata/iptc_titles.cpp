// The IPTC dataset table (Information Interchange Model 4): titles, formats
// and sizes of the datasets of records 1, 2, 7, 8 and 9.
#include <cstdint>
#include <iterator>

#include <libiptcdata/iptc-tag.h>

#include "imglib/metadata/info.h"

namespace {

constexpr ILIptcTag kDatasets[] = {
    {1, 0, "Model Version", IPTC_FORMAT_SHORT, true, false, 2, 2},
    {1, 5, "Destination", IPTC_FORMAT_STRING, false, true, 0, 1024},
    {1, 20, "File Format", IPTC_FORMAT_SHORT, true, false, 2, 2},
    {1, 22, "File Version", IPTC_FORMAT_SHORT, true, false, 2, 2},
    {1, 30, "Service ID", IPTC_FORMAT_STRING, true, false, 0, 10},
    {1, 40, "Envelope Number", IPTC_FORMAT_NUMERIC_STRING, true, false, 8, 8},
    {1, 50, "Product ID", IPTC_FORMAT_STRING, false, true, 0, 32},
    {1, 60, "Envelope Priority", IPTC_FORMAT_NUMERIC_STRING, false, false, 1, 1},
    {1, 70, "Date Sent", IPTC_FORMAT_DATE, true, false, 8, 8},
    {1, 80, "Time Sent", IPTC_FORMAT_TIME, false, false, 11, 11},
    {1, 90, "Coded Character Set", IPTC_FORMAT_BINARY, false, false, 0, 32},
    {1, 100, "Unique Name of Object", IPTC_FORMAT_STRING, false, false, 14, 80},
    {1, 120, "ARM ID", IPTC_FORMAT_SHORT, false, false, 2, 2},
    {1, 122, "ARM Version", IPTC_FORMAT_SHORT, false, false, 2, 2},
    {2, 0, "Record Version", IPTC_FORMAT_SHORT, true, false, 2, 2},
    {2, 3, "Object Type Reference", IPTC_FORMAT_STRING, false, false, 3, 67},
    {2, 4, "Object Attribute Reference", IPTC_FORMAT_STRING, false, true, 4, 68},
    {2, 5, "Object Name", IPTC_FORMAT_STRING, false, false, 0, 64},
    {2, 7, "Edit Status", IPTC_FORMAT_STRING, false, false, 0, 64},
    {2, 8, "Editorial Update", IPTC_FORMAT_NUMERIC_STRING, false, false, 2, 2},
    {2, 10, "Urgency", IPTC_FORMAT_NUMERIC_STRING, false, false, 1, 1},
    {2, 12, "Subject Reference", IPTC_FORMAT_STRING, false, true, 13, 236},
    {2, 15, "Category", IPTC_FORMAT_STRING, false, false, 0, 3},
    {2, 20, "Supplemental Category", IPTC_FORMAT_STRING, false, true, 0, 32},
    {2, 22, "Fixture Identifier", IPTC_FORMAT_STRING, false, false, 0, 32},
    {2, 25, "Keywords", IPTC_FORMAT_STRING, false, true, 0, 64},
    {2, 26, "Content Location Code", IPTC_FORMAT_STRING, false, true, 3, 3},
    {2, 27, "Content Location Name", IPTC_FORMAT_STRING, false, true, 0, 64},
    {2, 30, "Release Date", IPTC_FORMAT_DATE, false, false, 8, 8},
    {2, 35, "Release Time", IPTC_FORMAT_TIME, false, false, 11, 11},
    {2, 37, "Expiration Date", IPTC_FORMAT_DATE, false, false, 8, 8},
    {2, 38, "Expiration Time", IPTC_FORMAT_TIME, false, false, 11, 11},
    {2, 40, "Special Instructions", IPTC_FORMAT_STRING, false, false, 0, 256},
    {2, 42, "Action Advised", IPTC_FORMAT_NUMERIC_STRING, false, false, 2, 2},
    {2, 45, "Reference Service", IPTC_FORMAT_STRING, false, true, 0, 10},
    {2, 47, "Reference Date", IPTC_FORMAT_DATE, false, true, 8, 8},
    {2, 50, "Reference Number", IPTC_FORMAT_NUMERIC_STRING, false, true, 8, 8},
    {2, 55, "Date Created", IPTC_FORMAT_DATE, false, false, 8, 8},
    {2, 60, "Time Created", IPTC_FORMAT_TIME, false, false, 11, 11},
    {2, 62, "Digital Creation Date", IPTC_FORMAT_DATE, false, false, 8, 8},
    {2, 63, "Digital Creation Time", IPTC_FORMAT_TIME, false, false, 11, 11},
    {2, 65, "Originating Program", IPTC_FORMAT_STRING, false, false, 0, 32},
    {2, 70, "Program Version", IPTC_FORMAT_STRING, false, false, 0, 10},
    {2, 75, "Object Cycle", IPTC_FORMAT_STRING, false, false, 1, 1},
    {2, 80, "By-line", IPTC_FORMAT_STRING, false, true, 0, 32},
    {2, 85, "By-line Title", IPTC_FORMAT_STRING, false, true, 0, 32},
    {2, 90, "City", IPTC_FORMAT_STRING, false, false, 0, 32},
    {2, 92, "Sub-location", IPTC_FORMAT_STRING, false, false, 0, 32},
    {2, 95, "Province/State", IPTC_FORMAT_STRING, false, false, 0, 32},
    {2, 100, "Country Code", IPTC_FORMAT_STRING, false, false, 3, 3},
    {2, 101, "Country Name", IPTC_FORMAT_STRING, false, false, 0, 64},
    {2, 103, "Original Transmission Reference", IPTC_FORMAT_STRING, false, false, 0, 32},
    {2, 105, "Headline", IPTC_FORMAT_STRING, false, false, 0, 256},
    {2, 110, "Credit", IPTC_FORMAT_STRING, false, false, 0, 32},
    {2, 115, "Source", IPTC_FORMAT_STRING, false, false, 0, 32},
    {2, 116, "Copyright Notice", IPTC_FORMAT_STRING, false, false, 0, 128},
    {2, 118, "Contact", IPTC_FORMAT_STRING, false, true, 0, 128},
    {2, 120, "Caption/Abstract", IPTC_FORMAT_STRING, false, false, 0, 2000},
    {2, 122, "Writer/Editor", IPTC_FORMAT_STRING, false, true, 0, 32},
    {2, 125, "Rasterized Caption", IPTC_FORMAT_BINARY, false, false, 7360, 7360},
    {2, 130, "Image Type", IPTC_FORMAT_STRING, false, false, 2, 2},
    {2, 131, "Image Orientation", IPTC_FORMAT_STRING, false, false, 1, 1},
    {2, 135, "Language ID", IPTC_FORMAT_STRING, false, false, 2, 3},
    {2, 150, "Audio Type", IPTC_FORMAT_STRING, false, false, 2, 2},
    {2, 151, "Audio Sampling Rate", IPTC_FORMAT_NUMERIC_STRING, false, false, 6, 6},
    {2, 152, "Audio Sampling Resolution", IPTC_FORMAT_NUMERIC_STRING, false, false, 2, 2},
    {2, 153, "Audio Duration", IPTC_FORMAT_NUMERIC_STRING, false, false, 6, 6},
    {2, 154, "Audio Outcue", IPTC_FORMAT_STRING, false, false, 0, 64},
    {2, 200, "Preview File Format", IPTC_FORMAT_SHORT, false, false, 2, 2},
    {2, 201, "Preview File Format Version", IPTC_FORMAT_SHORT, false, false, 2, 2},
    {2, 202, "Preview Data", IPTC_FORMAT_BINARY, false, false, 0, 256000},
    {7, 10, "Size Mode", IPTC_FORMAT_BYTE, true, false, 1, 1},
    {7, 20, "Max Subfile Size", IPTC_FORMAT_LONG, true, false, 4, 4},
    {7, 90, "Object Size Announced", IPTC_FORMAT_LONG, false, false, 4, 4},
    {7, 95, "Maximum Object Size", IPTC_FORMAT_LONG, false, false, 4, 4},
    {8, 10, "Subfile", IPTC_FORMAT_BINARY, true, true, 0, UINT32_MAX},
    {9, 10, "Confirmed Data Size", IPTC_FORMAT_LONG, true, false, 4, 4},
};
static_assert(std::size(kDatasets) == 77);

} // namespace

const ILIptcTag* ILFindIptcTag(uint32_t record, uint32_t dataset) {
    for (const ILIptcTag& row : kDatasets) {
        if (row.record == record && row.dataset == dataset) return &row;
    }
    return nullptr;
}

const char* ILIptcTitle(uint32_t record, uint32_t dataset) {
    if (const ILIptcTag* row = ILFindIptcTag(record, dataset)) return row->title;
    // Stay within the range of the library's enums.
    if (record > IPTC_RECORD_POSTOBJ_DATA || dataset > 255) return nullptr;
    return iptc_tag_get_title(static_cast<IptcRecord>(record), static_cast<IptcTag>(dataset));
}
