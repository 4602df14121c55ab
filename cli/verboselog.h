#pragma once

// --verbose: the search's own log, and nothing else, becomes lines on standard error, each
// starting with the program's name. Other categories keep Qt's rules and output.
void installVerboseLog();
