// An include that steps around the layer roots: the build must refuse it.
#include "../app/VersionCompare.h"
