// Everything the game uses of the display library, in one include.
#pragma once

#include "checked.h"
#include "clock.h"
#include "colours.h"
#include "file.h"
#include "queue.h"
#include "runtime_error.h"
#include "surface.h"
#include "text.h"
#include "window.h"
