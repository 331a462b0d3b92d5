#pragma once
// What every download generator is: it stages the records of one client schema.

// Called once per visited client schema with the download file's path (the staging key),
// the terminal's name and the client schema's name. Returns 0, or after it printed why the
// run cannot produce a complete download, the exit status the run ends with.
using GeneratorFunction = int (*)(const char* path, const char* terminal, const char* schema);
