// The whole display library in one include, for its tests and benchmarks.
#pragma once

#include "base/checked.h"
#include "base/file.h"
#include "base/runtime_error.h"
#include "clock.h"
#include "colours.h"
#include "queue.h"
#include "surface.h"
#include "text.h"
#include "window.h"
