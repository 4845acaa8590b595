// The loaders and savers of the format table, one pair per format family,
// each following the codec contract of imglib/format.h.
#pragma once

#include "imglib/format.h"

ILResult ILLoadBMP(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info);
ILResult ILSaveBMP(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info);
ILResult ILLoadPCX(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info);
ILResult ILSavePCX(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info);
ILResult ILLoadPNG(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info);
ILResult ILSavePNG(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info);
ILResult ILLoadGIF(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info);
ILResult ILSaveGIF(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info);
ILResult ILLoadJPEG(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info);
ILResult ILSaveJPEG(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info);
ILResult ILLoadJPEG2000(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info);
ILResult ILSaveJPEG2000(ILHandle* h, const char16_t* path, const ILImage* image,
                        const ILInfo* info);
ILResult ILLoadJXR(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info);
ILResult ILSaveJXR(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info);
ILResult ILLoadTIFF(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info);
ILResult ILSaveTIFF(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info);
ILResult ILLoadPNM(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info);
ILResult ILSavePNM(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info);
ILResult ILLoadTGA(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info);
ILResult ILSaveTGA(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info);
ILResult ILLoadRAS(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info);
ILResult ILLoadSGI(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info);
ILResult ILSaveSGI(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info);
ILResult ILLoadPGF(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info);
ILResult ILSavePGF(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info);
ILResult ILLoadWebP(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info);
ILResult ILSaveWebP(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info);
ILResult ILLoadRadiance(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info);
ILResult ILSaveRadiance(ILHandle* h, const char16_t* path, const ILImage* image,
                        const ILInfo* info);
ILResult ILLoadEXR(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info);
ILResult ILSaveEXR(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info);
ILResult ILLoadCineon(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info);
ILResult ILSaveCineon(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info);
ILResult ILLoadPCD(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info);
ILResult ILLoadRAW(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info);
ILResult ILLoadDDS(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info);
ILResult ILLoadWMF(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info);
