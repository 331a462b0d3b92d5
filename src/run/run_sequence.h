#pragma once
// The whole run: command line, settings, connection, staging, the client schemas with the
// download function's generator, and the download file. Returns the exit status.
int run_main(int argc, char** argv);
