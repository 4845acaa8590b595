// "Metadata": the title, author, creation time, description and copyright
// texts that the next save writes with the current image.
#pragma once

#include <windows.h>

#include "viewer/document/document.h"

// Modal over owner; OK replaces the texts of the image's info record.
void ShowMetadataDialog(Document& state, HWND owner);
