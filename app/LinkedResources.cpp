#include "app/LinkedResources.h"

extern "C" void tvrn2_linked_register_resource(void);

namespace tvrn2 {

void linkResources()
{
    static const bool registered = [] {
        tvrn2_linked_register_resource();
        return true;
    }();
    (void)registered;
}

} // namespace tvrn2
