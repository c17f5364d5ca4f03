#pragma once
// Running a helper program (tmux) to its end with a time limit, without a shell: the
// arguments go to execve as they are, so no file name is ever parsed as shell syntax.
#include <string>
#include <vector>

struct ChildResult {
    bool Ran;            // the program was started and ended within the time limit
    int ExitStatus;      // its exit status; -1 when it did not end normally
    std::string Output;  // everything it wrote on standard output
    std::string Errors;  // everything it wrote on standard error, or why it did not run
};

// The full path of an executable found on PATH, or "" when there is none.
std::string FindExecutable(const std::string& name);

// Runs arguments[0] (a full path) with the remaining arguments and this process's
// environment less TMUX and TMUX_PANE, so a test started inside tmux drives only its own
// server. Standard input is /dev/null. A program still running after timeoutMilliseconds
// is killed and the result says it did not run.
ChildResult RunChild(const std::vector<std::string>& arguments, int timeoutMilliseconds);
