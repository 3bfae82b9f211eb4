#pragma once

#include <string>
#include <sys/types.h>

// Kill tests run the work they kill in a child that is a process of its own,
// as the next start of the program would be: this test program started anew,
// running one disabled test, which reads what to do from its environment.

// Starts the test of that full name ("Suite.DISABLED_Name") in a child with
// the argument; the child's output goes nowhere.
pid_t StartChildTest(const std::string& test, const std::string& argument);
// Starts the child test and waits for its end; true when it passed.
bool RunChildTest(const std::string& test, const std::string& argument);
// Kills a child at once, after delay microseconds, and waits for its end.
void KillChildAfter(pid_t child, useconds_t delay);
// The argument of this child test; empty in a test that is not a child.
std::string ChildTestArgument();
