// Life of the info record.
#include "imglib/metadata/info.h"

ILTextList::~ILTextList() {
    ILFreeTexts(this);
}

ILIccInfo::~ILIccInfo() {
    ILFreeIccInfo(this);
}

ILInfo::~ILInfo() {
    ILClearInfo(this);
}

void ILClearInfo(ILInfo* info) {
    if (!info) return;
    ILFreeTexts(&info->texts);
    ILFreeIPTC(&info->iptc);
    ILFreeExif(&info->exif);
    ILFreeXMP(&info->xmp);
    ILFreeIccInfo(&info->icc);
    info->icc.colorSpace = 0;

    info->formatId = 0;
    info->colorType = 0;
    info->compression = 0;
    info->fileSize = 0;
    info->created = 0;
    info->modified = 0;
    info->width = 0;
    info->height = 0;
    info->channels = 0;
    info->bitsPerPixel = 0;
    info->tilesX = 0;
    info->tilesY = 0;
    info->alphaKind = 0;
    info->tiled = 0;
    info->gamma = 0;
    info->gammaKind = 0;
    info->ppiX = 0;
    info->ppiY = 0;
    info->pages = 0;
    info->page = 0;
}
