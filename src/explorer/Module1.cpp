#include "Module1.h"

namespace krellon {

Module1& Shared() {
    static Module1 module;
    return module;
}

}  // namespace krellon
