#include "form/FormRegistry.h"

FormRegistry& FormRegistry::Instance() {
    static FormRegistry registry;
    return registry;
}
