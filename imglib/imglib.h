// ImgLib: everything a client needs.
#pragma once

#include "imglib/color.h"
#include "imglib/format.h"
#include "imglib/handle.h"
#include "imglib/image.h"
#include "imglib/metadata/info.h"
#include "imglib/io/path.h"
#include "imglib/io/stream.h"
#include "imglib/convert/modes.h"
#include "imglib/convert/quantize.h"
#include "imglib/ops/alpha.h"
#include "imglib/ops/color_ops.h"
#include "imglib/ops/geometry.h"
#include "imglib/ops/gauss.h"
#include "imglib/ops/projection.h"
#include "imglib/ops/resample.h"
#include "imglib/surface.h"
