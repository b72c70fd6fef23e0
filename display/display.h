// The whole display library in one include (without a back end's own
// header), for its tests and benchmarks.
#pragma once

#include "base/checked.h"
#include "base/file.h"
#include "base/runtime_error.h"
#include "display/clock.h"
#include "display/colours.h"
#include "display/input.h"
#include "display/queue.h"
#include "display/surface.h"
#include "display/text.h"
#include "display/window.h"
