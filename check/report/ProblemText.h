// A problem in plain words, as the human report shows it under its case,
// each line indented: what went wrong, the lines that differ with a caret
// where they part, what goes with it, standard error and a hint.  Whatever
// the version printed, it stays within a few KiB.
#pragma once

#include <string>

#include "report/Results.h"

std::string problemText(const Problem& problem);
