// The command line's options as the render layer takes them.
#pragma once

#include "common/option_flags.h"
#include "render/output_setup.h"

// The drawing set asked for (ASCII before Unicode before VT100 when several
// are), whether lines are never cut, whether arguments are shown and the
// order of children.
OutputOptions outputOptionsOf(OptionFlags flags);
