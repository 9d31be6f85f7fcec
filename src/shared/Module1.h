#pragma once

namespace krellon {

// The state that both windows share; it lives as long as the program.
struct Module1 {};

// The program's one instance.
Module1& Shared();

}  // namespace krellon
