#pragma once
// The loader program's start-up, shared by the entry of every platform.

// Sets up the process, creates the version resource, titles the application "Setup", creates
// Form1 (whose first activation runs the whole loader sequence) and runs the message loop until
// the quit request. The result is the process's exit code: 0, whatever happened.
int RunLoaderProgram();
