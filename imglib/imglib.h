// ImgLib: everything a client needs.
#pragma once

#include "imglib/color.h"
#include "imglib/format.h"
#include "imglib/handle.h"
#include "imglib/image.h"
#include "imglib/info.h"
#include "imglib/path.h"
#include "imglib/stream.h"
#include "imglib/surface.h"
