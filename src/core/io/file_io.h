#pragma once

// Every file helper at once, for the files that have not yet moved to including the ones they use.
#include "core/io/atomic_write.h"
#include "core/io/case_folding_lookup.h"
#include "core/io/file_descriptor.h"
#include "core/io/file_problem.h"
#include "core/io/media_path.h"
#include "core/io/save_temporary.h"
#include "core/text/ascii_case.h"
