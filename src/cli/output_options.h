// The command line's options as the render layer takes them.
#pragma once

#include "cli/option_flags.h"
#include "render/output_setup.h"

// The drawing set asked for (ASCII before Unicode before VT100 when several
// are), whether lines are never cut and whether arguments are shown. The
// order of children is the table's (TableOptions::childOrder).
OutputOptions outputOptionsOf(OptionFlags flags);
