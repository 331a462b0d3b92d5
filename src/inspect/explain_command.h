#pragma once
// vestragen-inspect explain TERMINAL BADGE [FUNCTION...]: for each download function (all
// five when none is named), whether the badge is in the terminal's download and the trail
// that decides it, as the run decides it (inspect/explain.h).

#include <string>
#include <vector>

#include "inspect/inspect_io.h"

// Logs in as the run does and explains. Returns kInspectYes when every function named
// writes a record of the badge, kInspectNo when one does not, kInspectTrouble when the
// command line, the configuration or the connection fails or a run would stop.
int explain_command(const InspectIo& io, const std::string& terminal, const std::string& badge,
                    const std::vector<std::string>& functions);
