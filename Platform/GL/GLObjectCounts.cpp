#include "Platform/GL/GLObjectCounts.h"

namespace plat {

GLObjectCounts& GLCreated() {
    static GLObjectCounts counts;
    return counts;
}

}  // namespace plat
